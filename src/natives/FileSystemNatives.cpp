// The FileSystem native group (25): whole-file and directory operations, each
// handed to the host's file services, which keep every path below the root.
#include "natives/NativeGroupOps.h"
#include "natives/NumericArgs.h"
#include "natives/VectorOperands.h"
#include "io/CAppsFileWriter.h"
#include "vm/FrameworkServices.h"

namespace mcb {

namespace {
using namespace numeric;

FileSystemServices* services(VirtualMachine& vm) { return vm.host(); }

void require(bool done) {
    if (!done) vmerr::raise(vmerr::IO);
}

// A path operand of an operation: empty raises `empty`.
const OString& path(NativeArgs& a, TInt32 i, const vmerr::Message& empty) {
    const OString& p = a.string(i);
    if (p.isEmpty()) vmerr::raise(empty);
    return p;
}

template <bool (FileSystemServices::*Query)(const OString&)>
void query(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    const OString& p = a.string(0);
    FileSystemServices* fs = services(vm);
    a.result(!p.isEmpty() && fs && (fs->*Query)(p) ? -1 : 0);
}

template <bool (FileSystemServices::*Operation)(const OString&)>
void operation(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    const OString& p = path(a, 0, vmerr::msg::PathIsEmpty);
    FileSystemServices* fs = services(vm);
    require(fs && (fs->*Operation)(p));
    a.noResult();
}

template <bool (FileSystemServices::*Rename)(const OString&, const OString&)>
void rename(VirtualMachine& vm, const vmerr::Message& sourceEmpty, const vmerr::Message& targetEmpty) {
    NativeArgs a(vm, 2);
    const OString& from = path(a, 0, sourceEmpty);
    const OString& to = path(a, 1, targetEmpty);
    FileSystemServices* fs = services(vm);
    require(fs && (fs->*Rename)(from, to));
    a.noResult();
}

void renameFile(VirtualMachine& vm) {
    rename<&FileSystemServices::renameFile>(vm, vmerr::msg::SourceFilenameIsEmpty, vmerr::msg::TargetFilenameIsEmpty);
}

void renameDirectory(VirtualMachine& vm) {
    rename<&FileSystemServices::renameDirectory>(vm, vmerr::msg::SourcePathIsEmpty, vmerr::msg::TargetPathIsEmpty);
}

void createFile(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    const OString& p = path(a, 0, vmerr::msg::PathIsEmpty);
    FileSystemServices* fs = services(vm);
    std::unique_ptr<CAppsFileWriter> writer = fs ? fs->openForWriting(p, true) : nullptr;
    require(writer && writer->close());
    a.noResult();
}

// (path) -> a new vector of new strings: the directory's files, or its sub-directories.
template <bool Directories>
void list(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    const OString& p = a.string(0);
    Vec<OString> files, directories;
    FileSystemServices* fs = services(vm);
    require(fs && fs->listDirectory(p, files, directories));
    const Vec<OString>& names = Directories ? directories : files;
    a.result(TInt32(vectorops::newStringVector(vm, names.data(), names.getSize())));
}

constexpr natives::Function kFileSystem[] = {
    {1, "file_exists", query<&FileSystemServices::fileExists>},
    {2, "dir_exists", query<&FileSystemServices::directoryExists>},
    {3, "delete_file", operation<&FileSystemServices::deleteFile>},
    {4, "remove_dir", operation<&FileSystemServices::removeDirectory>},
    {5, "list_dirs", list<true>},
    {6, "list_files", list<false>},
    {7, "create_file", createFile},
    {8, "create_dir", operation<&FileSystemServices::createDirectory>},
    {9, "rename_file", renameFile},
    {10, "rename_dir", renameDirectory},
};
}  // namespace

std::span<const natives::Function> fileSystemFunctions() { return kFileSystem; }

}  // namespace mcb
