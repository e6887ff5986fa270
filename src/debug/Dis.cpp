// The operand texts of the listing's formats, and the listing rows.
#include "debug/Dis.h"

#include "debug/Notation.h"

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

// Builds one operand text; the pieces are the number forms of the listing.
class Text {
public:
    Text(std::string& out, const AddressNamer* namer) : out_(out), namer_(namer) {}

    Text& operator<<(std::string_view s) {
        out_.append(s);
        return *this;
    }
    Text& Dec(int v) {
        if (v >= 100) out_ += static_cast<char>('0' + v / 100);
        if (v >= 10) out_ += static_cast<char>('0' + v / 10 % 10);
        out_ += static_cast<char>('0' + v % 10);
        return *this;
    }
    // "r" or "i" and the register number.
    Text& Reg(int v, bool indirect = false) {
        out_ += indirect ? 'i' : 'r';
        return Dec(v);
    }
    Text& Byte(int v) {
        out_ += "&H";
        return Hex2(v);
    }
    // A 16-bit value: its name if the namer has one, else &H and four digits.
    Text& Word(int hi, int lo) {
        if (namer_ && *namer_) {
            const std::string name = (*namer_)(static_cast<uint16_t>(hi << 8 | lo));
            if (!name.empty()) return *this << name;
        }
        Byte(hi);
        return Hex2(lo);
    }

private:
    Text& Hex2(int v) {
        out_ += kHex[(v >> 4) & 15];
        out_ += kHex[v & 15];
        return *this;
    }
    std::string& out_;
    const AddressNamer* namer_;
};

} // namespace

void AppendOperands(std::string& out, const DecodedInstruction& d, const AddressNamer* namer) {
    const uint8_t b0 = d.Bytes[0], b1 = d.Bytes[1], b2 = d.Bytes[2];
    const InstructionFields& f = d.Fields;
    const int r = f.Reg, u = f.Upper, ue = f.UpperLast, l = f.Lower, ls = f.LowerStart;
    const int e = f.RunLast;
    const bool x = f.Indirect;
    const std::string_view p = kShortPointerNames[f.Pointer];
    const std::string_view sign = f.StepUp ? "+" : "-";
    const std::string_view cond = kConditionNames[f.Condition];

    Text t(out, namer);
    using enum OperandFormat;
    switch (d.Info().Format) {
    case None: break;
    case Reg: t.Reg(r); break;
    case Lower: t.Reg(l, x); break;
    case Upper: t.Reg(u); break;
    case LowerUpper:
        t.Reg(l, x) << ",";
        t.Reg(u);
        break;
    case UpperLower:
        t.Reg(u) << ",";
        t.Reg(l, x);
        break;
    case RegLower:
        t.Reg(r) << ",";
        t.Reg(l, x);
        break;
    case PointerPair:
        // Both bytes of one pointer register (0x78 + k and 0x38 + k) show as its name.
        if (!x && l == (b1 & 0x3F) && (b1 & 0x38) == 0x38) {
            t << kPointerNames[b1 & 7];
        } else {
            t.Reg(u) << ",";
            t.Reg(l, x);
        }
        break;
    case TwinImm:
        t.Reg(r) << ",";
        t.Reg(r ^ 0x40) << ",";
        t.Byte(b2);
        break;
    case RegImm:
        t.Reg(r) << ",";
        t.Byte(b2);
        break;
    case MemReg:
        t << "(" << kShortPointerNames[(b0 >> 4) & 1] << "),";
        t.Reg(r ^ 0x40);
        break;
    case MemImm:
        t << "(" << kShortPointerNames[(b0 >> 4) & 1] << "),";
        t.Byte(b1);
        break;
    case PointerOperand:
        t << p << ",";
        if (b1 & 0x80)
            t.Reg(r);
        else
            t.Byte(b1 & 0x7F);
        break;
    case StoreStep:
        t << sign << "(" << p << "),";
        t.Reg(r);
        break;
    case LoadStep: t.Reg(r) << ",(" << p << ")" << sign; break;
    case StoreLowerRun:
        t << sign << "(" << p << "),";
        t.Reg(ls) << "..";
        t.Reg(l);
        break;
    case StoreUpperRun:
        t << sign << "(" << p << "),";
        t.Reg(u) << "..";
        t.Reg(ue);
        break;
    case LoadLowerRun:
        t.Reg(ls) << "..";
        t.Reg(l) << ",(" << p << ")" << sign;
        break;
    case LoadUpperRun:
        t.Reg(u) << "..";
        t.Reg(ue) << ",(" << p << ")" << sign;
        break;
    case StoreDisp:
        // Stores use the displacement plus one; show the offset they really use.
        t << "(" << p << sign;
        if (b2 == 0xFF)
            t << "&H100";
        else
            t.Byte(b2 + 1);
        t << "),";
        t.Reg(r);
        break;
    case LoadDisp:
        t.Reg(r) << ",(" << p << sign;
        t.Byte(b2) << ")";
        break;
    case StoreRunDisp:
        t << "(" << p << sign;
        t.Byte((b2 & 0x1F) + 1) << "),";
        t.Reg(r) << "..";
        t.Reg(e);
        break;
    case LoadRunDisp:
        t.Reg(r) << "..";
        t.Reg(e) << ",(" << p << sign;
        t.Byte(b2 & 0x1F) << ")";
        break;
    case LowerRange:
        t.Reg(ls, x) << "..";
        t.Reg(l, x);
        break;
    case UpperRange:
        t.Reg(u) << "..";
        t.Reg(ue);
        break;
    case LowerUpperRange:
        t.Reg(ls, x) << "..";
        t.Reg(l, x) << ",";
        t.Reg(u) << "..";
        t.Reg(ue);
        break;
    case UpperLowerRange:
        t.Reg(u) << "..";
        t.Reg(ue) << ",";
        t.Reg(ls, x) << "..";
        t.Reg(l, x);
        break;
    case RangeImm:
        t.Reg(r) << "..";
        t.Reg(e) << ",";
        t.Byte(b2 & 0x1F);
        break;
    case TwinRangeImm:
        t.Reg(b1 & 0x3F) << "..";
        t.Reg(ue & 0x3F) << ",";
        t.Reg(u) << "..";
        t.Reg((ue & 0x3F) | 0x40) << ",";
        t.Byte(b2 & 0x1F);
        break;
    case Word: t.Word(b1, b2); break;
    case PointerWord:
        t << kPointerNames[b0 & 7] << ",";
        t.Word(b1, b2);
        break;
    case Condition: t << cond; break;
    case ConditionWord:
        t << cond << ",";
        t.Word(b1, b2);
        break;
    case PageWord: t.Word(d.Page, b1); break;
    case ConditionPageWord:
        t << cond << ",";
        t.Word(d.Page, b1);
        break;
    case SpecialImm7:
        t << kPutImm7Names[(b0 & 3) * 2 + (b1 >> 7)] << ",";
        t.Byte(b1 & 0x7F);
        break;
    case SpecialImm:
        t << kPutImmNames[b0 & 3] << ",";
        t.Byte(b1);
        break;
    case SpecialFromReg:
        t << kPutRegNames[b0 & 7] << ",";
        t.Reg(r);
        break;
    case RegFromSpecial: t.Reg(r) << "," << kGetRegNames[b0 & 7]; break;
    }
}

std::string DisOperands(const DecodedInstruction& d, const AddressNamer* namer) {
    std::string out;
    AppendOperands(out, d, namer);
    return out;
}

void AppendListingRow(std::string& out, const DecodedInstruction& d, const AddressNamer* namer) {
    const std::size_t start = out.size();
    for (int i = 0; i < 4; ++i) out += kHex[(d.Address >> (12 - 4 * i)) & 15];
    out += ':';
    out.resize(start + 12, ' ');
    const std::string_view name = d.Mnemonic();
    out.replace(start + 6, name.size(), name);
    AppendOperands(out, d, namer);
}

std::string ListingRow(const DecodedInstruction& d, const AddressNamer* namer) {
    std::string row;
    AppendListingRow(row, d, namer);
    return row;
}

std::vector<std::string> DisListing(uint16_t from, int count) {
    std::vector<std::string> rows;
    for (const DecodedInstruction& d : DecodeRun(from, count)) rows.push_back(ListingRow(d));
    return rows;
}
