// The fixed site names that some requests are treated by. They are matched as plain substrings
// of an address or a Referer.
#pragma once

#include <string_view>

namespace download::sites {

// Downloads whose Referer names one of these go through the local proxy (proxy type 3).
inline constexpr std::string_view kDownloaderProxySites[] = {"kanpian.tv", "bofang.cc", "shipinwang.com", "yingyuan.net"};
// Page requests whose address names one of these go through the local proxy (proxy type 3).
inline constexpr std::string_view kClientProxySites[] = {"kanpian.tv",     "bofang.cc",    "shipinwang.com", "yingyuan.net",
                                                        "pengyouquan.net", "weiliao.com", "quanzi.cn"};
// Addresses of this site are sent with every high byte percent-encoded as it stands.
inline constexpr std::string_view kRawEncodingSite = "shipinwang.com";
// Page requests to these hosts carry the site's home page as Referer.
inline constexpr std::string_view kRefererSiteHosts[] = {"www.kanpian.tv", "api.kanpian.tv"};
inline constexpr std::string_view kRefererSiteHome = "http://www.kanpian.tv/";
// Page requests and form posts to these host-and-paths use the old browser agent.
inline constexpr std::string_view kOldAgent =
    "Mozilla/5.0 (Windows; U; Windows NT 5.1; zh-CN; rv:1.8.1.5) Gecko/20070713 (FoxPlus) Firefox/2.0.0.5";
inline constexpr std::string_view kOldAgentGetPath = "v.bofang.cc/api/getplay";
inline constexpr std::string_view kOldAgentPostPath = "u.yingyuan.net/parse";
// This site answers a refused download with a partial reply of exactly 1 MiB.
inline constexpr std::string_view kPartialReplySite = "yingyuan.net";
inline constexpr long long kPartialReplySize = 1048576;

template <std::size_t N>
bool AnyIn(std::string_view text, const std::string_view (&names)[N], std::size_t from = 0) {
    for (auto n : names) {
        if (text.find(n, from) != std::string_view::npos) return true;
    }
    return false;
}

}  // namespace download::sites
