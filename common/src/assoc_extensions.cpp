#include "common/assoc_extensions.h"

const wchar_t* const AssocExtensions[kAssocExtensionCount] = {
    // video
    L".asf", L".avi", L".wm", L".wmp", L".wmv", L".ram", L".rm", L".rmvb", L".rp", L".rpm", L".rt", L".smil",
    L".scm", L".dat", L".m1v", L".m2v", L".m2p", L".m2ts", L".mp2v", L".mpe", L".mpeg", L".mpeg1", L".mpeg2",
    L".mpg", L".mpv", L".pss", L".pva", L".tp", L".tpr", L".ts", L".m4b", L".m4p", L".m4v", L".mp4", L".mpeg4",
    L".3g2", L".3gp", L".3gp2", L".3gpp", L".mov", L".qt", L".f4v", L".flv", L".hlv", L".swf", L".ifo", L".vob",
    L".amv", L".bik", L".csf", L".divx", L".evo", L".ivm", L".mkv", L".mod", L".mts", L".ogm", L".pmp", L".tod",
    L".vp6", L".webm", L".xlmv",
    // audio
    L".aac", L".ac3", L".amr", L".ape", L".cda", L".dts", L".flac", L".m1a", L".m2a", L".m4a", L".mid", L".midi",
    L".mka", L".mp2", L".mp3", L".mpa", L".ogg", L".ra", L".tak", L".tta", L".wav", L".wma", L".wv",
};
