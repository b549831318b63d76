#include "ExtensionTable.h"

#include "OV2Tools.h"

namespace {
constexpr TExtensionMapping kTable[] = {
    // Text
    {"txt", kTypeText, MakeFourCC("ttxt")},
    {"text", kTypeText, MakeFourCC("ttxt")},
    {"log", kTypeText, MakeFourCC("ttxt")},
    {"ini", kTypeText, MakeFourCC("ttxt")},
    {"inf", kTypeText, MakeFourCC("ttxt")},
    {"md", kTypeText, MakeFourCC("ttxt")},
    {"c", kTypeText, MakeFourCC("CWIE")},
    {"h", kTypeText, MakeFourCC("CWIE")},
    {"cpp", kTypeText, MakeFourCC("CWIE")},
    {"hpp", kTypeText, MakeFourCC("CWIE")},
    {"java", kTypeText, MakeFourCC("CWIE")},
    {"html", kTypeText, MakeFourCC("MOSS")},
    {"htm", kTypeText, MakeFourCC("MOSS")},
    {"xml", kTypeText, MakeFourCC("MOSS")},
    {"css", kTypeText, MakeFourCC("MOSS")},
    {"js", kTypeText, MakeFourCC("MOSS")},
    {"csv", kTypeText, MakeFourCC("XCEL")},
    {"rtf", kTypeText, MakeFourCC("MSWD")},
    {"hqx", kTypeText, MakeFourCC("SITx")},
    // Images
    {"gif", MakeFourCC("GIFf"), MakeFourCC("ogle")},
    {"jpg", MakeFourCC("JPEG"), MakeFourCC("ogle")},
    {"jpeg", MakeFourCC("JPEG"), MakeFourCC("ogle")},
    {"png", MakeFourCC("PNGf"), MakeFourCC("ogle")},
    {"tif", MakeFourCC("TIFF"), MakeFourCC("ogle")},
    {"tiff", MakeFourCC("TIFF"), MakeFourCC("ogle")},
    {"bmp", MakeFourCC("BMPp"), MakeFourCC("ogle")},
    {"pct", MakeFourCC("PICT"), MakeFourCC("ogle")},
    {"pict", MakeFourCC("PICT"), MakeFourCC("ogle")},
    {"psd", MakeFourCC("8BPS"), MakeFourCC("8BIM")},
    {"eps", MakeFourCC("EPSF"), MakeFourCC("vgrd")},
    {"ico", MakeFourCC("ICO "), MakeFourCC("ogle")},
    // Documents
    {"pdf", MakeFourCC("PDF "), MakeFourCC("CARO")},
    {"ps", MakeFourCC("TEXT"), MakeFourCC("vgrd")},
    {"doc", MakeFourCC("W8BN"), MakeFourCC("MSWD")},
    {"docx", MakeFourCC("WXBN"), MakeFourCC("MSWD")},
    {"xls", MakeFourCC("XLS8"), MakeFourCC("XCEL")},
    {"xlsx", MakeFourCC("XLSX"), MakeFourCC("XCEL")},
    {"ppt", MakeFourCC("SLD8"), MakeFourCC("PPT3")},
    {"pptx", MakeFourCC("PPTX"), MakeFourCC("PPT3")},
    {"wri", MakeFourCC("WDBN"), MakeFourCC("MSWD")},
    {"hlp", MakeFourCC("HLP "), MakeFourCC("MSWD")},
    // Archives
    {"zip", MakeFourCC("ZIP "), MakeFourCC("SITx")},
    {"sit", MakeFourCC("SIT!"), MakeFourCC("SITx")},
    {"sitx", MakeFourCC("SITX"), MakeFourCC("SITx")},
    {"bin", MakeFourCC("BINA"), MakeFourCC("SITx")},
    {"gz", MakeFourCC("Gzip"), MakeFourCC("SITx")},
    {"tgz", MakeFourCC("Gzip"), MakeFourCC("SITx")},
    {"tar", MakeFourCC("TARF"), MakeFourCC("SITx")},
    {"dmg", MakeFourCC("devi"), MakeFourCC("ddsk")},
    // Audio
    {"wav", MakeFourCC("WAVE"), MakeFourCC("TVOD")},
    {"aif", MakeFourCC("AIFF"), MakeFourCC("TVOD")},
    {"aiff", MakeFourCC("AIFF"), MakeFourCC("TVOD")},
    {"mp3", MakeFourCC("MPG3"), MakeFourCC("TVOD")},
    {"mid", MakeFourCC("Midi"), MakeFourCC("TVOD")},
    {"midi", MakeFourCC("Midi"), MakeFourCC("TVOD")},
    {"au", MakeFourCC("ULAW"), MakeFourCC("TVOD")},
    // Video
    {"mov", MakeFourCC("MooV"), MakeFourCC("TVOD")},
    {"mpg", MakeFourCC("MPEG"), MakeFourCC("TVOD")},
    {"mpeg", MakeFourCC("MPEG"), MakeFourCC("TVOD")},
    {"mp4", MakeFourCC("mpg4"), MakeFourCC("TVOD")},
    {"avi", MakeFourCC("VfW "), MakeFourCC("TVOD")},
    // Programs and fonts
    {"exe", MakeFourCC("DEXE"), MakeFourCC("CWIE")},
    {"com", MakeFourCC("DEXE"), MakeFourCC("CWIE")},
    {"dll", MakeFourCC("iDLL"), MakeFourCC("CWIE")},
    {"bat", kTypeText, MakeFourCC("DOS ")},
    {"ttf", MakeFourCC("tfil"), MakeFourCC("movr")},
};
} // namespace

std::span<const TExtensionMapping> ExtensionTable() { return kTable; }
