#include "cli/Formats.hpp"

#include <filesystem>
#include <string_view>

#include "Version.hpp"
#include "base/Numeric.hpp"
#include "base/Path.hpp"
#include "base/Platform.hpp"

namespace tessmar::cli {

namespace {

// The module lies where the installed program's library folder is, seen from
// its program folder (TESSMAR_FORMATS_MODULE, set by the build, which puts it
// at the same place in the build tree); a build without GDAL (Windows) sets
// it empty and has no module.
constexpr std::string_view ModuleFromProgram = TESSMAR_FORMATS_MODULE;

const TFormatsModule& Load() {
  if (ModuleFromProgram.empty())
    throw TError(
        "This build has no grid formats module (GDAL): import reads GTX files only as import-gtx, and export "
        "writes GTX only, as export-gtx or export --format GTX");
  const std::string path =
      std::filesystem::path(FolderOf(ExecutablePath()).append(ModuleFromProgram)).lexically_normal().string();
  const std::string failed = "Cannot load the grid formats module " + path + ": ";
  std::string why;
  void* handle = LoadModule(path, why);
  if (!handle) throw TError(failed + why);
  using TEntry = const TFormatsModule* (*)();
  const auto entry = reinterpret_cast<TEntry>(ModuleFunction(handle, FormatsModuleEntry));
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
