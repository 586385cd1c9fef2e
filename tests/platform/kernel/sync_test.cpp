#include "platform/kernel/sync.h"

#include <csignal>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/child.h"
#include "support/temp_dir.h"
#include "support/wait_for.h"

using testsupport::Child;

namespace {

class SyncTest : public ::testing::Test {
protected:
    testsupport::TempDir tmp;
    testsupport::ScopedEnv env{"MORVANE_RUNTIME_DIR", (tmp.path() / "run").string()};

    // Starts a peer that creates the semaphore and reports what it saw.
    std::string PeerCreates(std::unique_ptr<Child>* holder, const std::string& name) {
        auto out = tmp.path() / ("sem-" + std::to_string(counter_++));
        *holder = std::make_unique<Child>(std::vector<std::string>{testsupport::PeerProgram(), "sem", name, out.string()});
        EXPECT_TRUE(testsupport::WaitFor([&] { return std::filesystem::exists(out); }));
        return testsupport::ReadFile(out);
    }

private:
    int counter_ = 0;
};

TEST_F(SyncTest, SecondCreateSeesAlreadyExistsUntilAllHandlesClose) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    HANDLE first = CreateSemaphoreW(nullptr, 1, 1, L"Morvane");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    HANDLE second = CreateSemaphoreW(nullptr, 1, 1, L"Morvane");
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    // Mutexes live beside semaphores; the prefixes name the same object.
    HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Global\\Morvane");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    HANDLE sameMutex = CreateMutexW(nullptr, FALSE, L"Morvane");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));

    EXPECT_TRUE(CloseHandle(first));
    EXPECT_TRUE(CloseHandle(second));
    HANDLE again = CreateSemaphoreW(nullptr, 1, 1, L"Morvane");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    for (HANDLE h : {again, mutex, sameMutex}) EXPECT_TRUE(CloseHandle(h));
}

TEST_F(SyncTest, CrashedHolderNeverBlocksTheNextStart) {
    std::unique_ptr<Child> holder;
    ASSERT_EQ(PeerCreates(&holder, "Morvane"), "new");
    HANDLE mine = CreateSemaphoreW(nullptr, 1, 1, L"Morvane");
    ASSERT_NE(mine, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    CloseHandle(mine);

    holder->kill(SIGKILL);
    holder->wait();
    mine = CreateSemaphoreW(nullptr, 1, 1, L"Morvane");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));

    std::unique_ptr<Child> second;
    EXPECT_EQ(PeerCreates(&second, "Morvane"), "exists");
    std::unique_ptr<Child> other;
    EXPECT_EQ(PeerCreates(&other, "MorvaneApp"), "new");
    CloseHandle(mine);
}

TEST_F(SyncTest, NamesAndArgumentsAreChecked) {
    std::wstring longName(300, L'n');
    longName += L"/../片";
    HANDLE a = CreateSemaphoreW(nullptr, 0, 1, longName.c_str());
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    std::wstring similar(300, L'n');
    HANDLE b = CreateSemaphoreW(nullptr, 0, 1, similar.c_str());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS)) << "a long name must not collide with its prefix";
    for (auto& f : std::filesystem::directory_iterator(tmp.path() / "run" / "sync"))
        EXPECT_EQ(f.path().parent_path(), tmp.path() / "run" / "sync");

    EXPECT_EQ(CreateSemaphoreW(nullptr, 2, 1, L"x"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(CreateSemaphoreW(nullptr, 0, 0, L"x"), nullptr);

    EXPECT_TRUE(CloseHandle(a));
    EXPECT_FALSE(CloseHandle(a));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(WaitForSingleObject(b, 0), WAIT_FAILED);
    EXPECT_EQ(WaitForSingleObject(reinterpret_cast<HANDLE>(0x12345), 0), WAIT_FAILED);
    CloseHandle(b);
}

}  // namespace
