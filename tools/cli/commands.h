#pragma once
// Subcommands of fieldtrace-cli. Each returns the process exit status:
// 0 success, 1 failure of the work, 2 bad command line.

int Cli_Info(int argc, char** argv);
int Cli_Generate(int argc, char** argv);
int Cli_Catalog(int argc, char** argv);
int Cli_Scpi(int argc, char** argv);
int Cli_List(int argc, char** argv);
int Cli_Csv(int argc, char** argv);
int Cli_Record(int argc, char** argv);
int Cli_Kmz(int argc, char** argv);
int Cli_Discover(int argc, char** argv);
int Cli_Settings(int argc, char** argv);
int Cli_Export(int argc, char** argv);
int Cli_Report(int argc, char** argv);
int Cli_Campaign(int argc, char** argv);
