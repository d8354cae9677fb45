// SPDX-License-Identifier: MIT
#pragma once
// Runs part of a test in a child process with a mount table of its own, where a fresh file
// system is mounted over a folder: a second volume, or a small disk that fills up. The
// mount never shows outside the child and goes with it, so before the child ends the body
// copies what the test must see into a folder outside the mount.

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

namespace pictavo::test {

struct PrivateMountRun {
    bool mounted = false;  // false: this machine does not let the tests mount (say why)
    std::string output;    // the body's report, or why it could not run
};

// `mountIt` runs in the child once it has a mount table of its own; it returns "" when the
// file system is mounted, else why not.
inline PrivateMountRun inOwnMountTable(const std::function<std::string()>& mountIt,
                                       const std::function<std::string()>& body) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return {false, "pipe: " + std::string(std::strerror(errno))};
    const pid_t child = ::fork();
    if (child < 0) return {false, "fork: " + std::string(std::strerror(errno))};
    if (child == 0) {
        ::close(pipeFds[0]);
        auto say = [&](const std::string& text) {
            for (std::size_t done = 0; done < text.size();) {
                const ssize_t n = ::write(pipeFds[1], text.data() + done, text.size() - done);
                if (n <= 0) break;
                done += static_cast<std::size_t>(n);
            }
        };
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            say(std::string("a mount table of its own: ") + std::strerror(errno));
            ::_exit(77);
        }
        if (const std::string why = mountIt(); !why.empty()) {
            say(why);
            ::_exit(77);
        }
        int code = 0;
        try {
            say(body());
        } catch (const std::exception& e) {
            say(std::string("exception: ") + e.what());
            code = 1;
        }
        ::_exit(code);
    }
    ::close(pipeFds[1]);
    std::string output;
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        output.append(buffer, static_cast<std::size_t>(n));
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77) return {false, output};
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {true, "child failed: " + output};
    return {true, output};
}

// A fresh file system of a kind the kernel keeps in memory (tmpfs, ramfs) over `where`.
inline PrivateMountRun withPrivateMount(const std::filesystem::path& where, const char* type, const char* options,
                                        const std::function<std::string()>& body) {
    return inOwnMountTable(
        [&]() -> std::string {
            if (::mount(type, where.c_str(), type, 0, options) == 0) return {};
            return std::string("mount ") + type + ": " + std::strerror(errno);
        },
        body);
}

// A small ext4 disk, as a person's own volumes are, over `where`: an image file of that
// size made with mkfs.ext4 and mounted through a loop device.
inline PrivateMountRun withPrivateDisk(const std::filesystem::path& image, const std::filesystem::path& where,
                                       const char* size, const std::function<std::string()>& body) {
    const std::string make = std::string("truncate -s ") + size + " '" + image.native() +
                             "' && mkfs.ext4 -q -F -m 0 '" + image.native() + "' >/dev/null 2>&1";
    if (std::system(make.c_str()) != 0) return {false, "mkfs.ext4 could not make a disk image"};
    return inOwnMountTable(
        [&]() -> std::string {
            const std::string mount = "mount -o loop '" + image.native() + "' '" + where.native() + "' 2>/dev/null";
            return std::system(mount.c_str()) == 0 ? std::string() : "a loop device cannot be mounted here";
        },
        body);
}

// Fills the file system that holds `file` with it, to the last byte.
inline void fillUp(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) throw std::runtime_error("cannot make " + file.native());
    const std::string block(65536, 'x');
    for (std::size_t size = block.size(); size > 0; size /= 2)
        while (::write(fd, block.data(), size) == static_cast<ssize_t>(size)) {
        }
    ::close(fd);
}

// Copies a folder with everything in it, links as links.
inline void snapshot(const std::filesystem::path& from, const std::filesystem::path& to) {
    namespace fs = std::filesystem;
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
}

}  // namespace pictavo::test
