#pragma once
// The campaign database the coverage page last reached, kept in the data
// directory as "campaign.ini" (one line "connection=PG:..."), so that the
// next session starts with it. Only connection texts without a password are
// kept or read back: the password stays in libpq's own places.
#include <string>

inline constexpr const char* kLastConnectionFile = "campaign.ini";

// The remembered text, empty when none (or when the file holds one that may
// not be used).
std::string LastConnection_Load(const std::string& dataDirectory);
// Replaces the remembered text through a temporary file. A text that
// carries a password is refused (false, nothing written); a failed write is
// told as every other settings file's.
bool LastConnection_Save(const std::string& dataDirectory, const std::string& connection);
