// Prints an image as assembly source, section by section, then the code with labels.
#include "Disassembler.h"

#include "common/CodeWalk.h"
#include "common/ImageReader.h"
#include "common/TextQuote.h"
#include "common/NativeCatalogue.h"

#include <set>
#include <sstream>

namespace mcb {

namespace mcbdis {

using mcbtools::Value;

namespace {

constexpr size_t kValuesPerLine = 16;
constexpr size_t kCommentTextLimit = 48;

class Printer {
public:
    explicit Printer(const mcbtools::Image& image) : im_(image), items_(mcbtools::walkCode(image.code))
    {
        for (const mcbtools::CodeItem& item : items_)
            starts_.insert(item.offset);
        starts_.insert(TInt64(im_.code.size()));
        collectLabels();
    }

    std::string run()
    {
        header();
        methods();
        classes();
        descriptors();
        strings();
        code();
        return out_.str();
    }

private:
    static std::string label(TInt64 address) { return "L" + std::to_string(address); }

    bool isStart(TInt64 address) const { return starts_.count(address) != 0; }

    std::string codeRef(TInt64 address) const
    {
        return isStart(address) ? label(address) : std::to_string(address);
    }

    void useLabel(TInt64 address)
    {
        if (isStart(address))
            labels_.insert(address);
    }

    void collectLabels()
    {
        for (const auto& m : im_.methods)
            useLabel(m.codeAddress);
        for (const auto& s : im_.selectors)
            for (const auto& i : s.impls)
                useLabel(i.codeAddress);
        for (const mcbtools::CodeItem& item : items_) {
            if (!item.row)
                continue;
            for (int k = 0; k < item.row->operandCount; ++k) {
                TInt64 target = 0;
                const TInt64 v = mcbtools::operandValue(*item.row, &im_.code[item.offset], k);
                if (mcbtools::operandTarget(*item.row, item, v, k, target))
                    useLabel(target);
            }
        }
    }

    void header()
    {
        const std::string id(im_.identifier.begin(), im_.identifier.end());
        out_ << ".identifier " << mcbtools::quoteBytes(id) << "\n.widths ";
        for (int i = 0; i < mcbtools::kWidthCount; ++i)
            out_ << (i ? ", " : "") << im_.widths[i];
        out_ << "\n.globals " << im_.globals << "\n";
    }

    void methods()
    {
        if (!im_.methods.empty())
            out_ << "\n";
        for (const auto& m : im_.methods)
            out_ << ".method " << mcbtools::quoteBytes(m.name) << ", " << codeRef(m.codeAddress)
                 << ", " << m.descriptor << "\n";
        for (size_t i = 0; i < im_.selectors.size(); ++i) {
            const auto& s = im_.selectors[i];
            out_ << "\n.selector " << mcbtools::quoteBytes(s.name) << "  ; selector " << i << "\n";
            for (const auto& impl : s.impls)
                out_ << "    .impl " << impl.classIndex << ", " << codeRef(impl.codeAddress) << ", "
                     << impl.descriptor << "\n";
        }
    }

    void valueList(const char* directive, const std::vector<Value>& vs)
    {
        for (size_t i = 0; i < vs.size(); i += kValuesPerLine) {
            out_ << "    " << directive << " ";
            for (size_t k = i; k < vs.size() && k < i + kValuesPerLine; ++k)
                out_ << (k > i ? ", " : "") << vs[k];
            out_ << "\n";
        }
    }

    void flaggedList(const char* directive, const std::vector<mcbtools::FlaggedSlot>& vs)
    {
        for (size_t i = 0; i < vs.size(); i += kValuesPerLine) {
            out_ << "    " << directive << " ";
            for (size_t k = i; k < vs.size() && k < i + kValuesPerLine; ++k)
                out_ << (k > i ? ", " : "") << (vs[k].flag == mcbtools::kFlagReference ? "ref " : "val ")
                     << vs[k].index;
            out_ << "\n";
        }
    }

    void classes()
    {
        for (size_t i = 0; i < im_.classes.size(); ++i) {
            const auto& c = im_.classes[i];
            out_ << "\n.class  ; class " << i << "\n    .fieldwidth " << c.width << "\n";
            valueList(".reffields", c.refFields);
            flaggedList(".arrayfields", c.arrayFields);
            if (c.superPresent != 0) {
                out_ << "    .super " << c.superIndex;
                if (c.superPresent != 1)
                    out_ << ", " << c.superPresent;
                out_ << "\n";
            }
            valueList(".trailing", c.trailing);
        }
    }

    void descriptors()
    {
        for (size_t i = 0; i < im_.descriptors.size(); ++i) {
            const auto& d = im_.descriptors[i];
            out_ << "\n.descriptor  ; descriptor " << i << "\n    .slotwidth " << d.width
                 << "\n    .lengths " << d.first << ", " << d.second << ", " << d.third << "\n";
            valueList(".maybe", d.maybeRefs);
            flaggedList(".arrays", d.arrays);
            valueList(".refs", d.refs);
            flaggedList(".pairs", d.pairArrays);
        }
    }

    void strings()
    {
        if (!im_.strings.empty())
            out_ << "\n";
        for (size_t i = 0; i < im_.strings.size(); ++i)
            out_ << ".string " << mcbtools::quoteBytes(im_.strings[i]) << "  ; string " << i << "\n";
    }

    void code()
    {
        out_ << "\n.code\n";
        for (const mcbtools::CodeItem& item : items_) {
            if (labels_.count(item.offset))
                out_ << label(item.offset) << ":\n";
            if (item.row)
                instruction(item);
            else
                out_ << "    .byte " << int{im_.code[item.offset]} << "\n";
        }
        if (labels_.count(TInt64(im_.code.size())))
            out_ << label(TInt64(im_.code.size())) << ":\n";
    }

    void instruction(const mcbtools::CodeItem& item)
    {
        const InstructionInfo& row = *item.row;
        const TUint8* bytes = &im_.code[item.offset];
        out_ << "    " << row.mnemonic;
        std::string comment;
        if (row.operandCount == 2 && (row.operands[0].kind == OperandKind::NativeGroup
                                      || row.operands[0].kind == OperandKind::Extension)) {
            out_ << " " << nativeOperands(row, bytes);
        } else {
            for (int k = 0; k < row.operandCount; ++k)
                out_ << (k ? ", " : " ") << operand(row, item, k, comment);
        }
        if (!comment.empty())
            out_ << "  ; " << comment;
        out_ << "\n";
    }

    std::string operand(const InstructionInfo& row, const mcbtools::CodeItem& item, int k,
                        std::string& comment) const
    {
        const TInt64 v = mcbtools::operandValue(row, &im_.code[item.offset], k);
        TInt64 target = 0;
        if (mcbtools::operandTarget(row, item, v, k, target) && isStart(target))
            return label(target);
        if (row.operands[k].kind == OperandKind::StringIndex && v >= 0
            && TUint64(v) < im_.strings.size())
            comment = excerpt(im_.strings[size_t(v)]);
        if (row.operands[k].kind == OperandKind::Selector && v >= 0
            && TUint64(v) < im_.selectors.size())
            comment = excerpt(im_.selectors[size_t(v)].name);
        return std::to_string(v);
    }

    static std::string excerpt(const std::string& s)
    {
        if (s.size() <= kCommentTextLimit)
            return mcbtools::quoteBytes(s);
        return mcbtools::quoteBytes(s.substr(0, kCommentTextLimit)) + "...";
    }

    static std::string nativeOperands(const InstructionInfo& row, const TUint8* bytes)
    {
        const TInt64 g = mcbtools::operandValue(row, bytes, 0);
        const TInt64 f = mcbtools::operandValue(row, bytes, 1);
        const mcbtools::NamedGroup* named = row.operands[0].kind == OperandKind::Extension
                                                ? mcbtools::findExtension(int(g))
                                                : mcbtools::findGroup(int(g));
        const std::string_view groupName = named ? named->name : std::string_view();
        const mcbtools::NamedFunction* fn = named ? named->function(int(f)) : nullptr;
        if (!groupName.empty() && fn)
            return std::string(groupName) + "." + std::string(fn->name);
        const std::string group = groupName.empty() ? std::to_string(g) : std::string(groupName);
        return group + ", " + std::to_string(f);
    }

    const mcbtools::Image& im_;
    std::vector<mcbtools::CodeItem> items_;
    std::set<TInt64> starts_;
    std::set<TInt64> labels_;
    std::ostringstream out_;
};

}  // namespace

std::string disassemble(const mcbtools::Image& image) { return Printer(image).run(); }

std::string disassembleBytes(std::span<const TUint8> bytes)
{
    return disassemble(mcbtools::readImage(bytes));
}

}  // namespace mcbdis

}  // namespace mcb
