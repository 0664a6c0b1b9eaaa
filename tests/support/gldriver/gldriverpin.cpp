// Mesa unloads its DRI driver when the last GL context of a display goes away. Allocations the driver
// made and never freed (its per-screen caches) then point into unmapped memory, and LeakSanitizer reports
// them at exit as direct leaks of an "<unknown module>", which no suppression can name. Opening the driver
// once more with RTLD_NODELETE keeps it mapped until the process ends: its globals stay roots of the leak
// check, and a leak of the project's own code is still reported.
//
// The driver files are hard links of one library, and the dynamic loader knows a file by its inode, so
// pinning one name pins the driver whatever name Mesa opens it by.

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>

namespace {

[[gnu::constructor]] void pinGlDriver()
{
#ifdef LUMESK_SWRAST_DRI
    // Only where the test talks to an X server: an offscreen run never loads a GL driver.
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (std::getenv("DISPLAY") == nullptr || (platform != nullptr && std::strncmp(platform, "xcb", 3) != 0))
        return;
    // RTLD_LAZY: the driver's own symbols are bound when Mesa uses them, as Mesa itself opens it.
    dlopen(LUMESK_SWRAST_DRI, RTLD_LAZY | RTLD_LOCAL | RTLD_NODELETE);
#endif
}

} // namespace
