#include "platform/frameprofile.h"

namespace frameprofile {
bool g_enabled = false;
int64_t g_gameNs = 0;
thread_local int GameWork::s_depth = 0;
} // namespace frameprofile
