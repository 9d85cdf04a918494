#include "parallel/cgroup_quota.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "parallel/thread_count.hpp"

namespace tarnex::parallel {
namespace {

constexpr std::uint64_t no_limit = std::numeric_limits<std::uint64_t>::max();

std::optional<std::string> read_file(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string text;
    char chunk[4096];
    for (;;) {
        const ssize_t got = read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            close(fd);
            return std::nullopt;
        }
        if (got == 0) break;
        text.append(chunk, static_cast<std::size_t>(got));
    }
    close(fd);
    return text;
}

std::vector<std::string_view> split(std::string_view text, char sep) {
    std::vector<std::string_view> parts;
    for (;;) {
        const auto at = text.find(sep);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos) return parts;
        text.remove_prefix(at + 1);
    }
}

std::string_view first_line(std::string_view text) { return text.substr(0, text.find('\n')); }

bool lists(std::string_view comma_list, std::string_view item) {
    for (auto entry : split(comma_list, ',')) {
        if (entry == item) return true;
    }
    return false;
}

std::optional<std::uint64_t> parse_count(std::string_view text) {
    return parse_decimal_count(std::string(text).c_str());
}

// `limit / period` when both are counts and the period is positive.
std::optional<std::uint64_t> ratio(std::string_view limit, std::string_view period) {
    const auto l = parse_count(limit);
    const auto p = parse_count(period);
    if (!l || !p || *p == 0) return std::nullopt;
    return *l / *p;
}

// Directory `dir` without its last component ("/a/b" -> "/a").
std::string parent(const std::string& dir) {
    const auto at = dir.find_last_of('/');
    return at == std::string::npos || at == 0 ? std::string("/") : dir.substr(0, at);
}

bool inside(const std::string& dir, const std::string& root) {
    return dir.size() >= root.size() && dir.compare(0, root.size(), root) == 0 &&
           (dir.size() == root.size() || dir[root.size()] == '/');
}

// Walks from `dir` up to `root` inclusive, taking the smallest quota any level reports.
template <class ReadQuota>
std::uint64_t smallest_quota(std::string dir, const std::string& root, ReadQuota read_quota) {
    std::uint64_t quota = no_limit;
    while (inside(dir, root)) {
        if (const auto q = read_quota(dir)) quota = std::min(quota, *q);
        if (dir == root) break;
        dir = parent(dir);
    }
    return quota;
}

std::string join(const std::string& root, std::string_view relative) {
    std::string path = root;
    while (!relative.empty() && relative.front() == '/') relative.remove_prefix(1);
    while (!relative.empty() && relative.back() == '/') relative.remove_suffix(1);
    if (!relative.empty()) {
        if (path.empty() || path.back() != '/') path += '/';
        path += relative;
    }
    return path;
}

std::uint64_t quota_v2(std::string_view group) {
    const std::string root = "/sys/fs/cgroup";
    const std::string dir = join(root, group);
    struct stat info;
    if (stat((dir + "/cgroup.controllers").c_str(), &info) != 0 && errno == ENOENT) return no_limit;
    return smallest_quota(dir, root, [](const std::string& d) -> std::optional<std::uint64_t> {
        const auto text = read_file(d + "/cpu.max");
        if (!text) return std::nullopt;
        const auto fields = split(first_line(*text), ' ');
        if (fields.size() < 2) return std::nullopt;
        return ratio(fields[0], fields[1]);
    });
}

// The mount point of the v1 "cpu" hierarchy holding `group`, and `group` relative to it.
std::optional<std::pair<std::string, std::string>> v1_mount(std::string_view group) {
    const auto text = read_file("/proc/self/mountinfo");
    if (!text) return std::nullopt;
    for (auto line : split(*text, '\n')) {
        const auto fields = split(line, ' ');
        // id parent dev root mount-point options [optional...] - type source super-options
        const auto dash = std::find(fields.begin(), fields.end(), std::string_view("-"));
        if (fields.size() < 5 || dash == fields.end() || fields.end() - dash < 4) continue;
        if (dash[1] != "cgroup" || !lists(dash[3], "cpu")) continue;
        std::string_view root = fields[3];
        while (!root.empty() && root.front() == '/') root.remove_prefix(1);
        std::string_view rest = group;
        if (!root.empty()) {
            if (rest.substr(0, root.size()) != root ||
                (rest.size() > root.size() && rest[root.size()] != '/')) {
                continue;  // a bind mount of a subtree that does not hold our cgroup
            }
            rest.remove_prefix(root.size());
        }
        return std::pair{std::string(fields[4]), std::string(rest)};
    }
    return std::nullopt;
}

std::uint64_t quota_v1(std::string_view group) {
    const auto mount = v1_mount(group);
    if (!mount) return no_limit;
    const auto& [root, relative] = *mount;
    return smallest_quota(join(root, relative), root,
                          [](const std::string& d) -> std::optional<std::uint64_t> {
                              const auto limit = read_file(d + "/cpu.cfs_quota_us");
                              const auto period = read_file(d + "/cpu.cfs_period_us");
                              if (!limit || !period) return std::nullopt;
                              return ratio(first_line(*limit), first_line(*period));
                          });
}

}  // namespace

std::uint64_t cgroup_cpu_quota() {
    const auto text = read_file("/proc/self/cgroup");
    if (!text) return no_limit;
    // Each line is "id:controllers:path"; the unified hierarchy lists no controllers.
    std::optional<std::string> group;
    bool v1 = false;
    for (auto line : split(*text, '\n')) {
        const auto first = line.find(':');
        if (first == std::string_view::npos) continue;
        const auto second = line.find(':', first + 1);
        if (second == std::string_view::npos) continue;
        const auto controllers = line.substr(first + 1, second - first - 1);
        const bool is_v2 = controllers.empty();
        if (!is_v2 && !lists(controllers, "cpu")) continue;
        if (is_v2 && group) continue;  // a v1 cpu hierarchy, once found, wins
        group = std::string(line.substr(second + 1));
        v1 = !is_v2;
    }
    if (!group) return no_limit;
    return v1 ? quota_v1(*group) : quota_v2(*group);
}

}  // namespace tarnex::parallel
