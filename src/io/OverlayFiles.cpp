// The data directory over the application's own folder.
#include "io/OverlayFiles.h"

#include "io/AppPath.h"
#include "io/CAppsFileReader.h"
#include "io/CAppsFileWriter.h"
#include "foundation/MemoryBudget.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unordered_set>

namespace mcb {

namespace {
const std::string kNoDirectory;

bool sameDirectory(const std::string& a, const std::string& b) {
    struct stat sa {}, sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// One name a line: "%" and line ends escaped.
std::string escape(const std::string& s) {
    std::string out;
    for (char c : s) out += c == '%' ? "%25" : c == '\n' ? "%0A" : std::string(1, c);
    return out;
}

std::string unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s.compare(i, 3, "%25") == 0) out += '%', i += 2;
        else if (s.compare(i, 3, "%0A") == 0) out += '\n', i += 2;
        else out += s[i];
    }
    return out;
}

OString nameAt(const Vec<OString>& v, TInt32 i) { return v[i]; }

std::u16string keyOf(const OString& name) {
    return std::u16string(reinterpret_cast<const char16_t*>(name.data()), size_t(name.length()));
}

// The names of both lists, looked up once per name of the other folder.
std::unordered_set<std::u16string> nameSet(const Vec<OString>& files, const Vec<OString>& dirs) {
    std::unordered_set<std::u16string> set;
    for (const Vec<OString>* v : {&files, &dirs})
        for (TInt32 i = 0; i < v->getSize(); ++i) set.insert(keyOf((*v)[i]));
    return set;
}
}  // namespace

OverlayFiles::OverlayFiles(std::string root) : root_(std::move(root)) {}

const std::string& OverlayFiles::dataDirectory() const { return data_ ? data_->root() : kNoDirectory; }

bool OverlayFiles::setDataDirectory(const std::string& directory, std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(directory, ec);
    if (ec || !std::filesystem::is_directory(directory, ec)) {
        error = ec ? ec.message() : std::strerror(ENOTDIR);
        return false;
    }
    if (sameDirectory(directory, root_.root())) {
        data_.reset();
        return true;
    }
    data_ = std::make_unique<AppFiles>(directory);
    loadHidden();
    return true;
}

bool OverlayFiles::allowed(const OString& path, std::string& relative) const {
    if (!host::appPathBytes(path, relative)) return false;
    return relative.compare(0, relative.find('/'), kHiddenList) != 0;
}

bool OverlayFiles::hidden(const std::string& relative) const {
    if (hidden_.empty()) return false;
    for (size_t end = relative.find('/');; end = relative.find('/', end + 1)) {
        if (hidden_.count(relative.substr(0, end))) return true;
        if (end == std::string::npos) return false;
    }
}

bool OverlayFiles::rootHas(const std::string& relative, const OString& path, bool directory) {
    if (hidden(relative)) return false;
    return directory ? root_.directoryExists(path) : root_.fileExists(path);
}

void OverlayFiles::loadHidden() {
    hidden_.clear();
    std::ifstream in(data_->root() + "/" + kHiddenList, std::ios::binary);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) hidden_.insert(unescape(line));
}

// Appended as it happens: the list survives however the run ends.
void OverlayFiles::hide(const std::string& relative) {
    if (!hidden_.insert(relative).second) return;
    auto writer = data_->openForWriting(OString(kHiddenList), false);
    if (!writer) return;
    std::string line = escape(relative) + "\n";
    writer->writeByteBufferToFile(reinterpret_cast<const TUint8*>(line.data()), int(line.size()));
    writer->close();
}

std::unique_ptr<CAppsFileWriter> OverlayFiles::copyFromRoot(const OString& from, const OString& to) {
    auto reader = root_.openForReading(from);
    if (!reader) return nullptr;
    BudgetCharge held(reader->bytesLeft());  // the contents, while they are copied
    Vec<TUint8> bytes;
    if (!reader->readRest(bytes)) return nullptr;
    auto writer = data_->openForWriting(to, true);
    if (!writer || (!bytes.isEmpty() && !writer->write(bytes))) return nullptr;
    return writer;
}

std::unique_ptr<CAppsFileWriter> OverlayFiles::openForWriting(const OString& path, bool truncate) {
    std::string relative;
    if (!data_) return root_.openForWriting(path, truncate);
    if (!allowed(path, relative)) return nullptr;
    if (!truncate && !data_->fileExists(path) && rootHas(relative, path, false)) return copyFromRoot(path, path);
    return data_->openForWriting(path, truncate);
}

std::unique_ptr<CAppsFileReader> OverlayFiles::openForReading(const OString& path) {
    std::string relative;
    if (!data_) return root_.openForReading(path);
    if (!allowed(path, relative)) return nullptr;
    if (data_->fileExists(path)) return data_->openForReading(path);
    return hidden(relative) ? nullptr : root_.openForReading(path);
}

bool OverlayFiles::deleteFile(const OString& path) {
    std::string relative;
    if (!data_) return root_.deleteFile(path);
    if (!allowed(path, relative)) return false;
    bool deleted = data_->deleteFile(path);
    if (rootHas(relative, path, false)) hide(relative), deleted = true;
    return deleted;
}

bool OverlayFiles::fileExists(const OString& path) {
    std::string relative;
    if (!data_) return root_.fileExists(path);
    return allowed(path, relative) && (data_->fileExists(path) || rootHas(relative, path, false));
}

// A copy whose last bytes did not reach the disk is removed, and the original stays.
bool OverlayFiles::copiedFromRoot(const OString& from, const OString& to) {
    std::unique_ptr<CAppsFileWriter> writer = copyFromRoot(from, to);
    if (writer && writer->close()) return true;
    writer.reset();
    data_->deleteFile(to);
    return false;
}

bool OverlayFiles::renameFile(const OString& from, const OString& to) {
    std::string source, target;
    if (!data_) return root_.renameFile(from, to);
    if (!allowed(from, source) || !allowed(to, target)) return false;
    if (fileExists(to) || directoryExists(to)) return false;
    const bool inRoot = rootHas(source, from, false);
    if (data_->fileExists(from)) {
        if (!data_->renameFile(from, to)) return false;
    } else if (!inRoot || !copiedFromRoot(from, to)) {
        return false;
    }
    if (inRoot) hide(source);
    return true;
}

bool OverlayFiles::listDirectory(const OString& path, Vec<OString>& files, Vec<OString>& directories) {
    std::string relative;
    if (!data_) return root_.listDirectory(path, files, directories);
    if (!allowed(path, relative)) return false;
    Vec<OString> dataFiles, dataDirs, rootFiles, rootDirs;
    const bool inData = data_->listDirectory(path, dataFiles, dataDirs);
    const bool inRoot = !hidden(relative) && root_.listDirectory(path, rootFiles, rootDirs);
    if (!inData && !inRoot) return false;
    const std::unordered_set<std::u16string> inDataNames = nameSet(dataFiles, dataDirs);
    auto shown = [&](const OString& name) {
        std::string child;
        if (!host::appPathBytes(name, child)) return false;
        if (!relative.empty()) child = relative + "/" + child;
        return !hidden(child) && !inDataNames.count(keyOf(name));
    };
    for (TInt32 i = 0; i < dataFiles.getSize(); ++i) files.append(nameAt(dataFiles, i));
    for (TInt32 i = 0; i < rootFiles.getSize(); ++i)
        if (shown(rootFiles[i])) files.append(rootFiles[i]);
    for (TInt32 i = 0; i < dataDirs.getSize(); ++i) directories.append(nameAt(dataDirs, i));
    for (TInt32 i = 0; i < rootDirs.getSize(); ++i)
        if (shown(rootDirs[i])) directories.append(rootDirs[i]);
    return true;
}

bool OverlayFiles::createDirectory(const OString& path) {
    std::string relative;
    if (!data_) return root_.createDirectory(path);
    return allowed(path, relative) && data_->createDirectory(path);
}

bool OverlayFiles::removeDirectory(const OString& path) {
    std::string relative;
    if (!data_) return root_.removeDirectory(path);
    if (!allowed(path, relative) || relative.empty()) return false;
    // A data copy removed only in part is a failure, and the folder's copy stays in view.
    const bool inData = data_->directoryExists(path);
    if (inData && !data_->removeDirectory(path)) return false;
    const bool inRoot = rootHas(relative, path, true);
    if (inRoot) hide(relative);
    return inData || inRoot;
}

bool OverlayFiles::renameDirectory(const OString& from, const OString& to) {
    std::string source, target;
    if (!data_) return root_.renameDirectory(from, to);
    if (!allowed(from, source) || !allowed(to, target)) return false;
    if (rootHas(source, from, true) || fileExists(to) || directoryExists(to)) return false;
    return data_->renameDirectory(from, to);
}

bool OverlayFiles::directoryExists(const OString& path) {
    std::string relative;
    if (!data_) return root_.directoryExists(path);
    return allowed(path, relative) && (data_->directoryExists(path) || rootHas(relative, path, true));
}

}  // namespace mcb
