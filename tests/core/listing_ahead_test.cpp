// SPDX-License-Identifier: MIT
// Folders read on other threads: batches sorted while the rest is read come out in the one
// natural order, and a folder listed ahead serves its first listing only, never a stale one.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <random>

#include "files/folder_listing.h"
#include "files/natural_order.h"
#include "files/wildcard.h"
#include "support/core_test.h"

namespace {

constexpr const char* kPattern = "*.jpg*;*.bmp*;*.gif*";

void touch(const fs::path& file) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << file;
    ::close(fd);
}

std::vector<std::string> inNaturalOrder(std::vector<std::string> names) {
    std::sort(names.begin(), names.end(), [](const auto& a, const auto& b) { return pictavo::naturalLess(a, b); });
    return names;
}

TEST(FolderListing, BatchesSortedWhileTheRestIsReadComeOutInOneOrder) {
    // In memory where there is such a folder: tens of thousands of files are made faster there.
    const bool shm = ::access("/dev/shm", W_OK) == 0;
    const TempDir temp(shm ? fs::path("/dev/shm") : fs::temp_directory_path());
    const fs::path folder = temp.path();
    // Enough names for batches merged at more than one rank, in cases and digit runs that
    // the order must weigh.
    std::mt19937 random(5);
    const std::vector<std::string> stems{"IMG_", "img_", "DSC0", "a", "Photo 0", "x-"};
    const std::vector<std::string> ends{".jpg", ".JPG", ".bmp", ".gif.bak", ".CR2", ".xmp", ".txt"};
    std::vector<std::string> all, matching, folders{"sub10", "Sub9", "sub010a"};
    for (int i = 0; i < 60000; ++i) {
        const std::string name = stems[random() % stems.size()] + std::to_string(random() % 100000) + "_" +
                                 std::to_string(i) + ends[random() % ends.size()];
        all.push_back(name);
        if (pictavo::matchesAny(kPattern, name)) matching.push_back(name);
        touch(folder / name);
    }
    for (const auto& f : folders) fs::create_directory(folder / f);

    const struct {
        const char* patterns;
        const std::vector<std::string>& files;
    } cases[] = {{kPattern, matching}, {"", all}};
    for (const auto& c : cases) {
        const pictavo::FolderEntries read = pictavo::readFolder(folder, folder.native(), c.patterns);
        EXPECT_EQ(read.files, inNaturalOrder(c.files)) << c.patterns;
        EXPECT_EQ(read.folders, inNaturalOrder(folders)) << c.patterns;
    }
}

// What happens between the start of the listing ahead and the lists' first reads.
struct Meanwhile {
    const char* what;
    std::function<void(TestHost&, const fs::path& folder)> act;
    const char* pattern;
    bool servedAhead;
};

TEST(ListingAhead, ServesTheFirstListingOnlyAndNothingTheProgramChangedSince) {
    const Meanwhile cases[] = {
        {"nothing", [](TestHost&, const fs::path&) {}, kPattern, true},
        {"another pattern", [](TestHost&, const fs::path&) {}, "*.jpg", false},
        {"the program has started", [](TestHost& host, const fs::path&) { host.files().startedUp(); }, kPattern, false},
        {"the program deleted a file",
         [](TestHost& host, const fs::path& folder) { host.files().Kill(host.hostPath(folder / "b.bmp")); }, kPattern,
         false},
    };
    for (const auto& c : cases) {
        TestHost host;
        const fs::path folder = host.root() / "Pictures";
        fs::create_directories(folder / "trips");
        for (const char* name : {"a10.jpg", "a9.jpg", "b.bmp", "notes.txt"}) touch(folder / name);
        pictavo::ListingsAhead listings(kPattern);
        listings.add(folder / "");  // the same folder, however it is spelt
        host.files().useListingsAhead(std::move(listings));
        c.act(host, folder);

        // The first read of the subfolders waits for the listing; what is added after it
        // only a fresh read sees.
        const std::string at = host.hostPath(folder);
        EXPECT_EQ(host.files().SubFolders(at), std::vector<std::string>{"trips"}) << c.what;
        touch(folder / "new.jpg");
        fs::create_directory(folder / "new");
        const auto files = host.files().Files(at, c.pattern);
        EXPECT_EQ(std::count(files.begin(), files.end(), "new.jpg") == 0, c.servedAhead) << c.what;
        if (c.servedAhead) {
            EXPECT_EQ(files, (std::vector<std::string>{"a9.jpg", "a10.jpg", "b.bmp"})) << c.what;
        }
        // Each part is served once; after it the folder is read afresh.
        EXPECT_EQ(host.files().Files(at, c.pattern).back(), "new.jpg") << c.what;
        EXPECT_EQ(host.files().SubFolders(at).size(), 2u) << c.what;
    }
}

TEST(ListingAhead, AFolderThatCannotBeReadIsReportedByTheReadThatNeedsIt) {
    TestHost host;
    const fs::path missing = host.root() / "gone";
    pictavo::ListingsAhead listings(kPattern);
    listings.add(missing);
    host.files().useListingsAhead(std::move(listings));
    EXPECT_THROW(host.files().SubFolders(host.hostPath(missing)), pictavo::HostError);
    EXPECT_THROW(host.files().Files(host.hostPath(missing), kPattern), pictavo::HostError);
}

}  // namespace
