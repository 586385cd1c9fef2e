#include "download/nd_downloader.h"

#include <cstdlib>
#include <cstring>
#include <random>

#include "download/file_utils.h"
#include "download/pattern.h"
#include "download/text_utils.h"
#include "download/zip_extract.h"
#include "platform/kernel/files.h"

namespace download {

namespace {

constexpr const char* kPatternListPath = "/client/config/netdisk_patterns.xml";

bool EqualNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
    return true;
}

bool IsAbsoluteHttp(const std::string& url) {
    auto starts = [&](const char* prefix) {
        std::size_t n = std::strlen(prefix);
        return url.size() >= n && EqualNoCase(url.substr(0, n), prefix);
    };
    return url.size() >= 7 && (starts("http://") || starts("https://"));
}

// Calls `each` with the content of every element of that name, in order, until one is missing.
template <typename F>
void ForEachElement(const std::string& text, const std::string& name, F each) {
    std::size_t start = 0;
    std::string content;
    for (;;) {
        auto pos = ExtractXmlTag(text, "<" + name + ">", "</" + name + ">", content, start);
        if (pos < 0) return;
        each(content);
        start = static_cast<std::size_t>(pos);
    }
}

}  // namespace

void CNDPattern::AddStep(std::string pattern, std::string tresult, std::string uresult, std::string referer,
                         std::string dataresult) {
    steps_.push_back(std::make_unique<NdPatternStep>(NdPatternStep{std::move(pattern), std::move(tresult),
                                                                   std::move(uresult), std::move(referer),
                                                                   std::move(dataresult)}));
}

int CNDPattern::Resolve(const NdLinkInfo& link, const std::string& start, std::string& tresult, std::string& uresult,
                        std::string& referer) const {
    if (!EqualNoCase(link.id, id_)) return 0;
    std::string current = start;
    std::string postData;
    for (auto& step : steps_) {
        std::string page;
        int fetched = postData.empty() ? HttpGetText(current, page, 1, 1, flavor_)
                                       : HttpPostData(current, postData.data(), postData.size(), page, flavor_);
        if (fetched != 0) return 0;
        auto apply = [&](const std::string& templ, std::string& out) {
            if (templ.empty()) return;
            CPattern(step->pattern, templ, 0, flavor_).Apply(page, out);
        };
        apply(step->referer, referer);
        apply(step->tresult, tresult);
        apply(step->uresult, uresult);
        // Like every output, the form body stays for the next step when this one has no template.
        apply(step->dataresult, postData);
        if (referer.empty()) referer = current;
        current = tresult.empty() ? uresult : tresult;
        if (!IsAbsoluteHttp(current)) return 0;
    }
    return 1;
}

// ---------------------------------------------------------------------------------------------

CNDDownloader::CNDDownloader(Flavor flavor) : flavor_(flavor) {
    auto engine = std::make_shared<std::mt19937_64>(std::random_device{}());
    random_ = [engine](std::uint64_t sum) { return (*engine)() % sum; };
}

CNDDownloader::~CNDDownloader() = default;

void CNDDownloader::SetObserver(CDownloadObserver* observer) {
    std::lock_guard lock(mutex_);
    observer_ = observer;
}

void CNDDownloader::SetRandomSource(RandomSource source) {
    std::lock_guard lock(mutex_);
    random_ = std::move(source);
}

std::size_t CNDDownloader::patternCount() const {
    std::lock_guard lock(mutex_);
    return patterns_.size();
}

std::vector<NdLinkInfo> CNDDownloader::links() const {
    std::lock_guard lock(mutex_);
    std::vector<NdLinkInfo> out;
    for (auto& l : links_) out.push_back(*l);
    return out;
}

int CNDDownloader::DownloadFromLinkList(const std::string& linkListAddress, const std::string& target) {
    std::lock_guard lock(mutex_);
    std::string text;
    if (HttpGetText(linkListAddress, text, 1, 1, flavor_) != 0) return 0;
    return ResolveAndDownload(text, target);
}

int CNDDownloader::ResolveAndDownload(const std::string& linkListText, const std::string& target) {
    std::lock_guard lock(mutex_);
    if (patterns_.empty()) {
        std::string text;
        if (HttpGetText(ConfigServerAddress() + kPatternListPath, text, 1, 1, flavor_) != 0) return 0;
        LoadPatterns(text);
        if (patterns_.empty()) return 0;
    }
    // Links of an earlier list belong to another file.
    links_.clear();
    ParseLinkList(linkListText);
    while (!links_.empty())
        if (PickAndTryLink(target)) return 1;
    return 0;
}

int CNDDownloader::DownloadZipFromLinkList(const std::string& linkListAddress, const std::string& folder) {
    std::lock_guard lock(mutex_);
    std::string temp;
    if (!GetTempDownloadPath(temp)) return 0;
    ZipOutcome outcome = ZipOutcome::NotAnArchive;
    if (DownloadFromLinkList(linkListAddress, temp)) outcome = ExtractZipArchive(temp, "", folder, false);
    // An archive whose extraction failed is kept.
    if (outcome != ZipOutcome::Failed) DeleteFileA(temp.c_str());
    return outcome == ZipOutcome::Extracted ? 1 : 0;
}

int CNDDownloader::PickAndTryLink(const std::string& target) {
    std::lock_guard lock(mutex_);
    if (links_.empty()) return 0;
    std::int64_t sum = 0;
    for (auto& l : links_) sum += l->weight;
    std::size_t chosen = 0;
    if (sum >= 1) {
        const std::int64_t r = static_cast<std::int64_t>(random_(static_cast<std::uint64_t>(sum)));
        std::int64_t running = 0;
        for (std::size_t i = 0; i < links_.size(); ++i) {
            running += links_[i]->weight;
            if (running >= r) {
                chosen = i;
                break;
            }
        }
    }
    std::unique_ptr<NdLinkInfo> link = std::move(links_[chosen]);
    links_.erase(links_.begin() + static_cast<std::ptrdiff_t>(chosen));
    return DownloadLink(*link, target);
}

int CNDDownloader::DownloadLink(const NdLinkInfo& link, const std::string& target) {
    std::lock_guard lock(mutex_);
    CFileDownloader downloader(flavor_);
    if (!link.directurl.empty())
        return downloader.DownloadFile(link.directurl.c_str(), target.c_str(), link.referer.c_str(), link.size, observer_);
    std::string tresult, uresult, referer;
    bool resolved = false;
    for (auto& recipe : patterns_) {
        // What a recipe that failed found is no part of the next one's answer.
        tresult.clear();
        uresult.clear();
        referer.clear();
        if (recipe->Resolve(link, link.url, tresult, uresult, referer)) {
            resolved = true;
            break;
        }
    }
    if (!resolved) return 0;
    if (!tresult.empty() &&
        downloader.DownloadFile(tresult.c_str(), target.c_str(), referer.c_str(), link.size, observer_))
        return 1;
    if (uresult.empty()) return 0;
    return downloader.DownloadFile(uresult.c_str(), target.c_str(), referer.c_str(), link.size, observer_);
}

void CNDDownloader::LoadPatterns(const std::string& text) {
    std::lock_guard lock(mutex_);
    ForEachElement(text, "ndpattern", [&](const std::string& e) { ParsePattern(e); });
}

bool CNDDownloader::ParsePattern(const std::string& element) {
    std::lock_guard lock(mutex_);
    // One pass over the element: a recipe of many steps would otherwise be searched from its
    // start for every tag of every step.
    const XmlTagIndex tags(element);
    std::string id = tags.Content("id");
    if (id.empty()) return false;
    auto recipe = std::make_unique<CNDPattern>(id, flavor_);
    for (int n = 1;; ++n) {
        const std::string k = std::to_string(n);
        std::string pattern = tags.Content("pattern" + k);
        std::string tresult = tags.Content("tresult" + k);
        if (pattern.empty() || tresult.empty()) break;
        recipe->AddStep(std::move(pattern), std::move(tresult), tags.Content("uresult" + k), tags.Content("referer" + k),
                        tags.Content("dataresult" + k));
    }
    patterns_.push_back(std::move(recipe));
    return true;
}

std::vector<std::pair<std::string, std::vector<NdPatternStep>>> CNDDownloader::recipes() const {
    std::lock_guard lock(mutex_);
    std::vector<std::pair<std::string, std::vector<NdPatternStep>>> out;
    for (auto& p : patterns_) {
        out.emplace_back(p->id(), std::vector<NdPatternStep>{});
        for (auto& step : p->steps()) out.back().second.push_back(*step);
    }
    return out;
}

void CNDDownloader::ParseLinkList(const std::string& text) {
    std::lock_guard lock(mutex_);
    ForEachElement(text, "link", [&](const std::string& e) { ParseLink(e); });
}

bool CNDDownloader::ParseLink(const std::string& element) {
    std::lock_guard lock(mutex_);
    const XmlTagIndex tags(element);
    auto link = std::make_unique<NdLinkInfo>();
    link->id = tags.Content("id");
    link->url = tags.Content("url");
    link->directurl = tags.Content("directurl");
    link->referer = tags.Content("referer");
    link->size = std::strtoll(tags.Content("size").c_str(), nullptr, 10);
    link->weight = std::atoi(tags.Content("weight").c_str());
    if (link->id.empty() || (link->url.size() < 8 && link->directurl.size() < 8)) return false;
    links_.push_back(std::move(link));
    return true;
}

}  // namespace download
