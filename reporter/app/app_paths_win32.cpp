#include "module_path.h"
#include "ostrel_app.h"
#include "shell_folders.h"

namespace ostrel {

// On its own, so that a program that needs only the paths does not pull in the form.
SAppPaths QueryAppPaths() {
    return BuildAppPaths(GetRunningModulePath(), LocalAppDataOrEmpty(SystemShellFolders()));
}

} // namespace ostrel
