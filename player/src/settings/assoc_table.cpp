#include "player/settings/assoc_table.h"

const wchar_t* const AssocCategoryNames[kAssocCategoryCount] = {
    L"System_Windows_Media", L"System_Real_Media",  L"System_MPEG1/2_Media", L"System_MPEG4",
    L"System_3GPP_Media",    L"System_Apple_Media", L"System_Flash_Media",   L"System_DVD_Media",
    L"System_Other_Video",   L"System_Other_Audio",
};

const wchar_t* const AssocMpeg12Extensions[kAssocMpeg12Count] = {
    L".dat", L".m1v", L".m2v", L".m2p", L".m2ts", L".mp2v", L".mpe", L".mpeg", L".mpeg1",
    L".mpeg2", L".mpg", L".mpv", L".pss", L".pva", L".tp",  L".tpr", L".ts",
};
