// The assembly harness of the file native tests.
#include "FileProgram.h"

#include <filesystem>

namespace {
const char* const kHead = R"(
.method "main", main, frame
.method "vminternalthrow<int>,<*string>", vmthrow, frame
.class Throwable
.class Stream
    .fieldwidth 1
    .reffields 1
.descriptor frame
    .lengths 0, 0, 0
)";

const char* const kTail = R"(
    droph -1
    ret 0, 1
caught:
    adjsp -1
    ret 0, 1
vmthrow:
    ldglobals
    ldloc -4
    store
    ldglobals
    fielda 1
    ldloc -3
    store
    alloc 1, 1
    dup
    setclass Throwable
    throw
)";

std::string bytesMacro(const std::string& text) {
    std::string out = "    alloc 6, 2\n    dup\n    newvec 1\n";
    for (unsigned char c : text) out += "    dup\n    push " + std::to_string(int(c)) + "\n    native 1, 19\n";
    return out;
}
}  // namespace

FileProgram::FileProgram(const std::string& body, const std::map<std::string, std::string>& strings) {
    std::string source = ".globals " + std::to_string(kGlobals) + kHead;
    const std::string rootName = std::filesystem::path(host.root()).filename().string();
    for (auto [name, text] : strings) {
        for (size_t at; (at = text.find("$ROOT")) != std::string::npos;) text.replace(at, 5, rootName);
        source += ".string " + name + " \"" + text + "\"\n";
    }
    source += ".code\nmain:\n    try -1, caught\n" + expand(body) + kTail;
    image_ = mcbasm::assemble(source);
    host.vm = &vm;
}

bool FileProgram::run() {
    VELMAR::MemoryInputStream stream(image_);
    try {
        vm.load(CAppsString("index.mcb"), stream, &host);
    } catch (TInt32) {
        return false;
    } catch (const ErrorHandlingException&) {
        escaped = vmerr::pendingErrorTextUtf8();
        return false;
    }
    return true;
}

std::string FileProgram::bytes(int i) {
    VMAddr object = vm.memory().readWord(VMAddr(global(i)));
    OVectorBase& v = *vm.heap().objectAs<OVectorBase>(object);
    std::string out;
    for (TInt32 k = 0; k < v.size(); ++k) out.push_back(char(*vm.memory().ptr(v.storage() + TUint32(k), 1)));
    return out;
}

std::vector<std::string> FileProgram::strings(int i) {
    VMAddr object = vm.memory().readWord(VMAddr(global(i)));
    OVectorBase& v = *vm.heap().objectAs<OVectorBase>(object);
    std::vector<std::string> out;
    for (TInt32 k = 0; k < v.size(); ++k)
        out.push_back(utf8(vm.stringOf(vm.memory().readWord(v.storage() + TUint32(k) * 4))));
    return out;
}

std::string FileProgram::utf8(const OString& s) {
    Vec<TUint8> b = s.toUtf8();
    return std::string(b.begin(), b.end());
}

std::string FileProgram::expand(const std::string& body) {
    std::istringstream in(body);
    std::string line, out;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string macro, n;
        words >> macro >> n;
        if (macro == "@store" || macro == "@keep")
            out += "    ldglobals\n    fielda " + n + "\n    ldloc -2\n    store\n" +
                   (macro == "@store" ? "    adjsp -1\n" : "");
        else if (macro == "@load")
            out += "    ldglobals\n    fielda " + n + "\n    deref\n";
        else if (macro == "@new")
            out += "    alloc 1, 2\n    dup\n    setclass Stream\n";
        else if (macro == "@bytes")
            out += bytesMacro(line.size() > line.find("@bytes") + 7 ? line.substr(line.find("@bytes") + 7) : "");
        else
            out += line + "\n";
    }
    return out;
}

std::string outcome(FileProgram& p) {
    if (!p.run()) return "halted";
    if (p.code() == 0) return "ok";
    return std::to_string(p.code()) + ": " + p.text();
}
