#include "cli/Formats.hpp"

#include <dlfcn.h>

#include <filesystem>

#include "Version.hpp"
#include "base/Numeric.hpp"
#include "base/Path.hpp"
#include "option/SettingsPath.hpp"

namespace tessmar::cli {

namespace {

// The module lies where the installed program's library folder is, seen from
// its program folder (TESSMAR_FORMATS_MODULE, set by the build, which puts it
// at the same place in the build tree).
const TFormatsModule& Load() {
  const std::string path =
      std::filesystem::path(FolderOf(ExecutablePath()) + TESSMAR_FORMATS_MODULE).lexically_normal().string();
  const std::string failed = "Cannot load the grid formats module " + path + ": ";
  // Every symbol now: a module that does not fit the program fails here, not
  // in the middle of writing a file.
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    std::string why = ::dlerror();
    if (why.starts_with(path + ": ")) why.erase(0, path.size() + 2);
    throw TError(failed + why);
  }
  using TEntry = const TFormatsModule* (*)();
  const auto entry = reinterpret_cast<TEntry>(::dlsym(handle, FormatsModuleEntry));
  const TFormatsModule* module = entry ? entry() : nullptr;
  if (!module) throw TError(failed + "it has no entry point " + FormatsModuleEntry);
  if (std::string_view(module->Version) != VersionText)
    throw TError(failed + "it belongs to version " + module->Version + ", the program is version " + VersionText);
  return *module;
}

}  // namespace

const TFormatsModule& FormatsModule() {
  static const TFormatsModule& module = Load();
  return module;
}

}  // namespace tessmar::cli
