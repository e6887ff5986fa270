// Operand text of the 41 output formats and the code listing.
#include "debug/Dis.h"

namespace {

constexpr std::string_view kPtrShort[4] = {"ix", "iy", "iz", "sp"};
constexpr std::string_view kPtrFull[8] = {"ix", "iy", "iz", "v3", "v2", "v1", "v0", "sp"};
constexpr std::string_view kCond[8] = {"k", "lz", "uz", "z", "v", "h", "c", "*"};
constexpr std::string_view kSrImm[4] = {"ie", "ds", "ky", "pd"};
constexpr std::string_view kSrImm7[8] = {"s4", "s8", "s5", "as", "s6", "tm", "s7", "pe"};
constexpr std::string_view kSrReg[8] = {"ie", "ds", "ky", "pd", "f", "as", "*", "*"};
constexpr char kHex[] = "0123456789ABCDEF";

// Builds one operand text; the pieces are the number forms of the listing.
class Text {
public:
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
    Text& Word(int hi, int lo) {
        Byte(hi);
        return Hex2(lo);
    }
    std::string Take() { return std::move(out_); }

private:
    Text& Hex2(int v) {
        out_ += kHex[(v >> 4) & 15];
        out_ += kHex[v & 15];
        return *this;
    }
    std::string out_;
};

} // namespace

std::string_view DisMnemonic(int index) {
    if (index < 0 || index >= kOpcodeIndices) return {};
    const DisRecord& r = kDisTable[index];
    return std::string_view(r.Name, r.Length <= 6 ? r.Length : 6);
}

int DisFormatBytes(int format) {
    switch (format) {
    case 0:
    case 33: return 1;
    case 1:
    case 2:
    case 12:
    case 13:
    case 14:
    case 15:
    case 16:
    case 35:
    case 36:
    case 37:
    case 38:
    case 39:
    case 40: return 2;
    default: return 3;
    }
}

std::string_view DisListingMnemonic(int index) {
    if ((index & 0xFFE2) == 0x1E0 && (g_cpu.Buf[2] & 0x08) != 0) return "stlm";
    return DisMnemonic(index);
}

std::string DisOperands(int index) {
    const uint8_t b0 = NextByte();
    if (index < 0 || index >= kOpcodeIndices) return {};
    const int format = kDisTable[index].Format;
    if (format >= kDisFormats) return {};

    const int length = DisFormatBytes(format);
    uint8_t b1 = 0, b2 = 0, page = 0;
    if (length >= 2) {
        page = static_cast<uint8_t>(g_cpu.PC >> 8); // formats 35, 36: page of the operand
        b1 = NextByte();
    }
    if (length >= 3) b2 = NextByte();

    const std::string_view sign = (b0 & 4) ? "+" : "-";
    const int r = FieldFull(b1);
    const int u = FieldUpper(b1);
    const int ue = FieldUpperBlockLast(b1, b2);
    const int l = FieldLowerDirect(b2);
    const int ls = FieldLowerBlockStartDirect(b1, b2);
    const int e = FieldFullBlockLast(b1, b2);
    const bool x = FieldIsIndirect(b2);
    const std::string_view p = kPtrShort[b0 & 3];
    const std::string_view neg = (b0 & 8) ? "" : "n";
    const std::string_view cond = kCond[b0 & 7];

    Text t;
    switch (format) {
    case 0: break;
    case 1:
    case 2: t.Reg(r); break;
    case 3: t.Reg(l, x); break;
    case 4: t.Reg(u); break;
    case 5:
        t.Reg(l, x) << ",";
        t.Reg(u);
        break;
    case 6:
        t.Reg(u) << ",";
        t.Reg(l, x);
        break;
    case 7:
        t.Reg(r) << ",";
        t.Reg(l, x);
        break;
    case 8:
        if (!x && l == (b1 & 0x3F) && (b1 & 0x38) == 0x38) {
            t << kPtrFull[b1 & 7];
        } else {
            t.Reg(u) << ",";
            t.Reg(l, x);
        }
        break;
    case 9:
        t.Reg(r) << ",";
        t.Reg(r ^ 0x40) << ",";
        t.Byte(b2);
        break;
    case 10:
    case 11:
        t.Reg(r) << ",";
        t.Byte(b2);
        break;
    case 12:
        t << "(" << kPtrShort[(b0 >> 4) & 1] << "),";
        t.Reg(r ^ 0x40);
        break;
    case 13:
        t << "(" << kPtrShort[(b0 >> 4) & 1] << "),";
        t.Byte(b1);
        break;
    case 14:
        t << p << ",";
        if (b1 & 0x80)
            t.Reg(r);
        else
            t.Byte(b1 & 0x7F);
        break;
    case 15:
        t << sign << "(" << p << "),";
        t.Reg(r);
        break;
    case 16: t.Reg(r) << ",(" << p << ")" << sign; break;
    case 17:
        t << sign << "(" << p << "),";
        t.Reg(ls) << "..";
        t.Reg(l);
        break;
    case 18:
        t << sign << "(" << p << "),";
        t.Reg(u) << "..";
        t.Reg(ue);
        break;
    case 19:
        t.Reg(ls) << "..";
        t.Reg(l) << ",(" << p << ")" << sign;
        break;
    case 20:
        t.Reg(u) << "..";
        t.Reg(ue) << ",(" << p << ")" << sign;
        break;
    case 21:
        // Stores use the displacement plus one; show the offset they really use.
        t << "(" << p << sign;
        if (b2 == 0xFF)
            t << "&H100";
        else
            t.Byte(b2 + 1);
        t << "),";
        t.Reg(r);
        break;
    case 22:
        t.Reg(r) << ",(" << p << sign;
        t.Byte(b2) << ")";
        break;
    case 23:
        t << "(" << p << sign;
        t.Byte((b2 & 0x1F) + 1) << "),";
        t.Reg(r) << "..";
        t.Reg(e);
        break;
    case 24:
        t.Reg(r) << "..";
        t.Reg(e) << ",(" << p << sign;
        t.Byte(b2 & 0x1F) << ")";
        break;
    case 25:
        t.Reg(ls, x) << "..";
        t.Reg(l, x);
        break;
    case 26:
        t.Reg(u) << "..";
        t.Reg(ue);
        break;
    case 27:
        t.Reg(ls, x) << "..";
        t.Reg(l, x) << ",";
        t.Reg(u) << "..";
        t.Reg(ue);
        break;
    case 28:
        t.Reg(u) << "..";
        t.Reg(ue) << ",";
        t.Reg(ls, x) << "..";
        t.Reg(l, x);
        break;
    case 29:
        t.Reg(r) << "..";
        t.Reg(e) << ",";
        t.Byte(b2 & 0x1F);
        break;
    case 30:
        t.Reg(b1 & 0x3F) << "..";
        t.Reg(ue & 0x3F) << ",";
        t.Reg(u) << "..";
        t.Reg((ue & 0x3F) | 0x40) << ",";
        t.Byte(b2 & 0x1F);
        break;
    case 31: t.Word(b1, b2); break;
    case 32:
        t << kPtrFull[b0 & 7] << ",";
        t.Word(b1, b2);
        break;
    case 33: t << neg << cond; break;
    case 34:
        t << neg << cond << ",";
        t.Word(b1, b2);
        break;
    case 35: t.Word(page, b1); break;
    case 36:
        t << neg << cond << ",";
        t.Word(page, b1);
        break;
    case 37:
        t << kSrImm7[(b0 & 3) * 2 + (b1 >> 7)] << ",";
        t.Byte(b1 & 0x7F);
        break;
    case 38:
        t << kSrImm[b0 & 3] << ",";
        t.Byte(b1);
        break;
    case 39:
        t << kSrReg[b0 & 7] << ",";
        t.Reg(r);
        break;
    case 40: t.Reg(r) << "," << kSrReg[b0 & 7]; break;
    default: break;
    }
    return t.Take();
}

std::string DisRow() {
    std::string row(12, ' ');
    const uint16_t pc = g_cpu.PC;
    for (int i = 0; i < 4; ++i) row[i] = kHex[(pc >> (12 - 4 * i)) & 15];
    row[4] = ':';
    const int index = FetchInstruction();
    const std::string_view name = DisListingMnemonic(index);
    row.replace(6, name.size(), name);
    row += DisOperands(index);
    return row;
}

std::vector<std::string> DisListing(uint16_t from, int count) {
    std::vector<std::string> rows;
    PcGuard guard;
    g_cpu.PC = from;
    for (int i = 0; i < count; ++i) {
        rows.push_back(DisRow());
        const int d = static_cast<int>(g_cpu.PC) - static_cast<int>(from);
        if (d < 0) break; // wrapped past 0xFFFF
    }
    return rows;
}
