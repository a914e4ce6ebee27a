// The measurement record and the small conversions that turn its fields into display text.
// A record holds its values as text, exactly as the data file carries them; numbers are parsed
// only where they are shown, sorted, compared or drawn.
#pragma once

#include <stdexcept>
#include <string>

namespace qmv {

// Most records a document, the record clipboard or the download table can hold.
constexpr int MaxRecords = 250;

struct recReadDataSeg {
    std::string DataNo; // record number on the instrument, "%0.5d" after a download
    std::string Raw1;   // the logger's three raw words, "%0.4d"; "0000" for sensor models
    std::string Raw2;
    std::string Raw3;
    std::string MinDb;   // minimum level, integer text
    std::string Flag;    // "0" or "1" for the logger, "9" for sensor models
    std::string Date;    // "yyyy/mm/dd hh:nn"
    std::string HpfCode; // one digit each; "9" means not measured
    std::string LpfCode;
    std::string NfCode;
    std::string NrCode;
    std::string Note; // at most 14 bytes in the code page

    bool operator==(const recReadDataSeg& o) const;
    bool operator!=(const recReadDataSeg& o) const { return !(*this == o); }
};

// Model codes of a document or a clipboard.
enum ModelCode : int {
    ModelNone = 0,
    ModelQMV27 = 1,
    ModelGZNMax = 2,
    ModelGZNMid = 3,
    ModelGZNMin = 4,
    ModelTR22B7 = 5,
};

// Key of section "Model" that names a model code; empty for 0 and for unknown codes.
std::string ModelTextKey(int model);

// Raised by StrToInt when a text is not a decimal integer.
class EConvertError : public std::runtime_error {
public:
    explicit EConvertError(const std::string& text);
};

// Optional leading blanks, an optional sign, then decimal digits and nothing else; the value
// must fit a signed 32-bit integer. Anything else raises EConvertError.
int StrToInt(const std::string& text);

// printf-style "%0.Nd": at least n digits, zero-filled, sign in front of the digits.
std::string ZeroPad(int value, int digits);

std::string FormatDataNo(int model, const std::string& dataNo);
std::string HpfText(const std::string& code);
std::string LpfText(const std::string& code);
std::string NfText(const std::string& code);
std::string NrText(const std::string& code);
// flag1Text is the text of "Flag"/"GetFlag1", returned for a flag of 1.
std::string FlagText(const std::string& flag, const std::string& flag1Text);
// Moves a level from one model's range to another's: MID reads 20 and MIN 40 above MAX.
std::string ConvertLevel(int fromModel, int toModel, const std::string& level);
// The band-pass text: HpfText " - " LpfText " " hzText.
std::string BandPassText(const recReadDataSeg& r, const std::string& hzText);

} // namespace qmv
