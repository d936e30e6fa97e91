#include "engine/Upload.h"

#include "engine/EngineStartup.h"

int RunUpload(HINSTANCE, const std::string&, const std::string&)
{
    // The transfer itself is not built yet: end without claiming success.
    return kExitFailed;
}
