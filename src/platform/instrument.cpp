#include "platform/instrument.h"

#include <sys/stat.h>

#include <cstdlib>

std::string Platform_InstrumentSerialPath() {
    const char* path = std::getenv("FIELDTRACE_INSTRUMENT_SERIAL");
    return path && *path ? path : "/etc/fieldtrace/instrument-serial";
}

int Platform_RunsOnInstrument() {
    struct stat st {};
    // Only the size matters, as only the presence of a serial number does.
    return ::stat(Platform_InstrumentSerialPath().c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 ? 1 : 0;
}
