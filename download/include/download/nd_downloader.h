// The net-disk resolver: link lists name candidate links for one file with weights; a link is a
// direct address or a page on a file-hosting site, resolved in steps by the recipes of the
// pattern list that the configuration server serves.
//
// Link list:    <link><id>..</id><url>..</url><directurl>..</directurl><referer>..</referer>
//               <size>..</size><weight>..</weight></link> ...
// Pattern list: <ndpattern><id>..</id><pattern1>..</pattern1><tresult1>..</tresult1>
//               [<uresult1>, <referer1>, <dataresult1>] <pattern2>.. </ndpattern> ...
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "download/file_downloader.h"
#include "download/flavor.h"

namespace download {

struct NdPatternStep {
    std::string pattern, tresult, uresult, referer, dataresult;
};

struct NdLinkInfo {
    std::string id, url, directurl, referer;
    std::int64_t size = 0;  // bytes; 0 = unknown
    int weight = 0;
};

class CNDPattern {
public:
    explicit CNDPattern(std::string id, Flavor flavor = Flavor::Installer) : id_(std::move(id)), flavor_(flavor) {}
    virtual ~CNDPattern() = default;

    void AddStep(std::string pattern, std::string tresult, std::string uresult, std::string referer,
                 std::string dataresult);
    // Follows the steps from `start`. The outputs are the caller's; 1 when every step led to an
    // absolute http or https address.
    int Resolve(const NdLinkInfo& link, const std::string& start, std::string& tresult, std::string& uresult,
                std::string& referer) const;

    const std::string& id() const { return id_; }
    const std::vector<std::unique_ptr<NdPatternStep>>& steps() const { return steps_; }

private:
    std::string id_;
    Flavor flavor_;
    std::vector<std::unique_ptr<NdPatternStep>> steps_;
};

// One resolver may serve several threads: every operation holds its lock.
class CNDDownloader {
public:
    // Gives a number in [0, sum) for the weighted choice.
    using RandomSource = std::function<std::uint64_t(std::uint64_t sum)>;

    explicit CNDDownloader(Flavor flavor = Flavor::Installer);
    virtual ~CNDDownloader();
    CNDDownloader(const CNDDownloader&) = delete;
    CNDDownloader& operator=(const CNDDownloader&) = delete;

    void SetObserver(CDownloadObserver* observer);
    void SetRandomSource(RandomSource source);

    // 1 when the target holds the file afterwards.
    int DownloadFromLinkList(const std::string& linkListAddress, const std::string& target);
    int ResolveAndDownload(const std::string& linkListText, const std::string& target);
    // Downloads the archive the link list names and unpacks it into the folder.
    int DownloadZipFromLinkList(const std::string& linkListAddress, const std::string& folder);
    int PickAndTryLink(const std::string& target);
    int DownloadLink(const NdLinkInfo& link, const std::string& target);

    void LoadPatterns(const std::string& text);
    bool ParsePattern(const std::string& element);
    void ParseLinkList(const std::string& text);
    bool ParseLink(const std::string& element);

    std::size_t patternCount() const;
    std::vector<NdLinkInfo> links() const;
    // The recipes as parsed, in order: each id with its steps.
    std::vector<std::pair<std::string, std::vector<NdPatternStep>>> recipes() const;

private:
    mutable std::recursive_mutex mutex_;
    Flavor flavor_;
    std::vector<std::unique_ptr<CNDPattern>> patterns_;
    std::vector<std::unique_ptr<NdLinkInfo>> links_;
    CDownloadObserver* observer_ = nullptr;
    RandomSource random_;
};

}  // namespace download
