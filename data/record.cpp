#include "record.h"

#include <climits>
#include <cstdio>

namespace qmv {

bool recReadDataSeg::operator==(const recReadDataSeg& o) const {
    return DataNo == o.DataNo && Raw1 == o.Raw1 && Raw2 == o.Raw2 && Raw3 == o.Raw3 &&
           MinDb == o.MinDb && Flag == o.Flag && Date == o.Date && HpfCode == o.HpfCode &&
           LpfCode == o.LpfCode && NfCode == o.NfCode && NrCode == o.NrCode && Note == o.Note;
}

std::string ModelTextKey(int model) {
    switch (model) {
    case ModelQMV27:
        return "QMV27";
    case ModelGZNMax:
        return "GZNMax";
    case ModelGZNMid:
        return "GZNMid";
    case ModelGZNMin:
        return "GZNMin";
    case ModelTR22B7:
        return "TR22B7";
    default:
        return {};
    }
}

EConvertError::EConvertError(const std::string& text)
    : std::runtime_error("'" + text + "' is not a valid integer value") {}

int StrToInt(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size())
        throw EConvertError(text);
    long long value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            throw EConvertError(text);
        value = value * 10 + (c - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            throw EConvertError(text);
    }
    if (negative)
        value = -value;
    if (value > INT_MAX || value < INT_MIN)
        throw EConvertError(text);
    return static_cast<int>(value);
}

std::string ZeroPad(int value, int digits) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.*d", digits, value);
    return buffer;
}

std::string FormatDataNo(int model, const std::string& dataNo) {
    return ZeroPad(StrToInt(dataNo), model == ModelQMV27 ? 3 : 5);
}

std::string HpfText(const std::string& code) {
    switch (StrToInt(code)) {
    case 0:
        return "100";
    case 1:
        return "200";
    case 2:
        return "400";
    case 3:
        return "Thr.";
    default:
        return "-";
    }
}

std::string LpfText(const std::string& code) {
    switch (StrToInt(code)) {
    case 0:
        return "2200";
    case 1:
        return "1200";
    case 2:
        return "800";
    case 3:
        return "600";
    case 4:
        return "400";
    default:
        return "-";
    }
}

std::string NfText(const std::string& code) {
    switch (StrToInt(code)) {
    case 0:
        return "OFF";
    case 1:
        return "50 Hz";
    case 2:
        return "60 Hz";
    default:
        return "-";
    }
}

std::string NrText(const std::string& code) {
    switch (StrToInt(code)) {
    case 0:
        return "OFF";
    case 1:
        return "Lv.1";
    case 2:
        return "Lv.2";
    case 3:
        return "Lv.3";
    default:
        return "-";
    }
}

std::string FlagText(const std::string& flag, const std::string& flag1Text) {
    return StrToInt(flag) == 1 ? flag1Text : std::string();
}

namespace {
int LevelOffset(int model) {
    switch (model) {
    case ModelGZNMid:
        return 20;
    case ModelGZNMin:
        return 40;
    default:
        return 0;
    }
}
} // namespace

std::string ConvertLevel(int fromModel, int toModel, const std::string& level) {
    const long long v =
        static_cast<long long>(StrToInt(level)) - LevelOffset(fromModel) + LevelOffset(toModel);
    if (v > INT_MAX || v < INT_MIN)
        throw EConvertError(level);
    return ZeroPad(static_cast<int>(v), 2);
}

std::string BandPassText(const recReadDataSeg& r, const std::string& hzText) {
    return HpfText(r.HpfCode) + " - " + LpfText(r.LpfCode) + " " + hzText;
}

} // namespace qmv
