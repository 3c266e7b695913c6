#pragma once
// Heap allocations counted through replaced global allocation functions, and optionally where they
// come from. Include this header in exactly one source file of a benchmark executable.
//
//   const auto before = bench::allocations();
//   ... work ...
//   bench::allocations() - before;         // operator new calls (all forms) in between
//
//   bench::AllocationSites sites;           // records the call stack of every allocation on this
//   ... work ...                            // thread until it goes out of scope
//   sites.print(stdout, frames, 12);        // the 12 most frequent sources, per frame
//                                           // (optionally summed up by named causes first)
//
// Recording stores raw return addresses in a fixed buffer (nothing is allocated while recording).
// Printing resolves them with addr2line, so the executable should carry debug information (-g)
// for file:line and inlined frames; without it only the function names are shown.
#include <dlfcn.h>
#include <execinfo.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <new>
#include <string>
#include <vector>

namespace bench {

inline std::atomic<std::uint64_t> gAllocationCount{0};

inline std::uint64_t allocations() { return gAllocationCount.load(std::memory_order_relaxed); }

namespace detail {

constexpr int kDepth = 48;
constexpr std::size_t kCapacity = 1u << 16;

struct Stack {
  int depth;
  std::size_t size;
  void* frames[kDepth];
};

inline std::atomic<bool> gRecording{false};
inline Stack gStacks[kCapacity];
inline std::atomic<std::size_t> gStackCount{0};
inline std::atomic<std::uint64_t> gDropped{0};
inline thread_local bool tInside = false;
inline thread_local bool tRecordingThread = false;

inline void note(std::size_t size) {
  gAllocationCount.fetch_add(1, std::memory_order_relaxed);
  if (!gRecording.load(std::memory_order_relaxed) || !tRecordingThread || tInside) return;
  tInside = true;  // backtrace() may allocate the first time it runs
  const std::size_t i = gStackCount.fetch_add(1, std::memory_order_relaxed);
  if (i < kCapacity) {
    gStacks[i].size = size;
    gStacks[i].depth = ::backtrace(gStacks[i].frames, kDepth);
  } else {
    gDropped.fetch_add(1, std::memory_order_relaxed);
  }
  tInside = false;
}

inline void* allocate(std::size_t n) {
  note(n);
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}

inline void* allocateAligned(std::size_t n, std::align_val_t al) {
  note(n);
  const auto a = static_cast<std::size_t>(al);
  if (void* p = std::aligned_alloc(a, (n + a - 1) / a * a)) return p;
  throw std::bad_alloc();
}

// Plumbing between an allocation and the code that asked for it.
inline bool isPlumbing(const std::string& fn) {
  static const char* const kPrefixes[] = {
      "operator new", "bench::", "std::", "__gnu_cxx::", "void std::", "peckish::Ref<",
      "peckish::Ref<peckish", "peckish::make<", "void* std::", "std::__", "__",
  };
  for (const char* p : kPrefixes)
    if (fn.rfind(p, 0) == 0) return true;
  return fn.find(" std::") != std::string::npos && fn.find("peckish::") == std::string::npos;
}

}  // namespace detail

// Records the stacks of allocations made on the constructing thread while it lives.
class AllocationSites {
 public:
  AllocationSites() {
    detail::gStackCount.store(0);
    detail::gDropped.store(0);
    void* warm[2];
    ::backtrace(warm, 2);  // load the unwinder before recording starts
    detail::tRecordingThread = true;
    detail::gRecording.store(true);
  }
  ~AllocationSites() { stop(); }

  void stop() {
    detail::gRecording.store(false);
    detail::tRecordingThread = false;
  }

  std::size_t recorded() const { return std::min(detail::gStackCount.load(), detail::kCapacity); }

  // A named cause of allocations: an allocation belongs to the first category one of whose
  // words occurs in a frame of its stack (only the innermost non-plumbing frame when innermost).
  struct Category {
    const char* name;
    std::vector<const char*> words;
    bool innermost = false;
  };

  // Prints the count per unit (per frame) of each category, then groups the recorded allocations
  // by their first frames outside the allocation plumbing and prints the `top` largest groups.
  void print(std::FILE* out, double units, int top, int callers = 3, const std::vector<Category>& categories = {}) {
    stop();
    const std::size_t n = recorded();
    std::map<void*, std::string> levels;
    std::map<void*, std::string> names = resolve(n, levels);
    std::map<std::string, std::uint64_t> groups;
    std::vector<std::uint64_t> perCategory(categories.size() + 1, 0);
    for (std::size_t i = 0; i < n; ++i) {
      const detail::Stack& s = detail::gStacks[i];
      std::string key;
      int taken = 0;
      std::string innermost;
      for (int f = 1; f < s.depth && taken < callers; ++f) {
        const std::string& fn = names[s.frames[f]];
        if (fn.empty() || detail::isPlumbing(fn)) continue;
        if (innermost.empty()) innermost = fn;
        key += (taken ? "\n        <- " : "") + fn;
        ++taken;
      }
      if (key.empty()) key = "(unresolved)";
      ++groups[key];
      std::size_t c = 0;
      for (; c < categories.size(); ++c) {
        bool hit = false;
        for (const char* w : categories[c].words) {
          if (categories[c].innermost) {
            hit = hit || innermost.find(w) != std::string::npos;
          } else {
            for (int f = 1; f < s.depth && !hit; ++f) hit = levels[s.frames[f]].find(w) != std::string::npos;
          }
        }
        if (hit) break;
      }
      ++perCategory[c];
    }
    std::fprintf(out, "allocation sources (%zu allocations, %.3f per frame%s):\n", n, double(n) / units,
                 detail::gDropped.load() ? ", buffer full: some not recorded" : "");
    if (!categories.empty()) {
      for (std::size_t c = 0; c <= categories.size(); ++c)
        if (perCategory[c])
          std::fprintf(out, "  %7.3f/frame %6llu  %s\n", double(perCategory[c]) / units,
                       static_cast<unsigned long long>(perCategory[c]),
                       c < categories.size() ? categories[c].name : "other");
      std::fprintf(out, "in detail (innermost source, then its callers):\n");
    }
    std::vector<std::pair<std::string, std::uint64_t>> sorted(groups.begin(), groups.end());
    std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    for (int i = 0; i < top && i < static_cast<int>(sorted.size()); ++i)
      std::fprintf(out, "  %7.3f/frame %6llu  %s\n", double(sorted[i].second) / units,
                   static_cast<unsigned long long>(sorted[i].second), sorted[i].first.c_str());
  }

 private:
  // Every distinct return address -> "function (file:line)" of the innermost inlined level that is
  // not plumbing, through one addr2line run over the executable; `levels` gets the names of all
  // inlined levels at that address.
  static std::map<void*, std::string> resolve(std::size_t n, std::map<void*, std::string>& levels) {
    std::map<void*, std::string> names;
    std::map<void*, std::uintptr_t> offsets;
    for (std::size_t i = 0; i < n; ++i) {
      const detail::Stack& s = detail::gStacks[i];
      for (int f = 1; f < s.depth; ++f) {
        void* a = s.frames[f];
        if (names.count(a)) continue;
        names[a] = "";
        Dl_info info{};
        if (!::dladdr(a, &info) || !info.dli_fbase) continue;
        // Only the executable's own code is looked up; libraries are named by their file.
        Dl_info self{};
        ::dladdr(reinterpret_cast<void*>(&resolve), &self);
        if (info.dli_fbase == self.dli_fbase) {
          // Return address - 1 lies inside the call instruction.
          offsets[a] = reinterpret_cast<std::uintptr_t>(a) - reinterpret_cast<std::uintptr_t>(info.dli_fbase) - 1;
        } else {
          std::string lib = info.dli_fname ? info.dli_fname : "?";
          names[a] = levels[a] = "[" + lib.substr(lib.find_last_of('/') + 1) + "]";
        }
      }
    }
    if (offsets.empty()) return names;
    char tmpl[] = "/tmp/peckish-bench-addr-XXXXXX";
    const int fd = ::mkstemp(tmpl);
    if (fd < 0) return names;
    std::FILE* list = ::fdopen(fd, "w");
    for (const auto& [a, off] : offsets) std::fprintf(list, "0x%llx\n", static_cast<unsigned long long>(off));
    std::fclose(list);
    // With -a every address's answer starts with the address itself, followed by one pair of
    // lines (function, file:line) per inlined level, innermost first.
    const std::string cmd = "addr2line -a -f -i -C -e /proc/" + std::to_string(::getpid()) + "/exe < " + tmpl;
    std::FILE* pipe = ::popen(cmd.c_str(), "r");
    if (!pipe) {
      ::unlink(tmpl);
      return names;
    }
    std::map<std::uintptr_t, void*> byOffset;
    for (const auto& [a, off] : offsets) byOffset[off] = a;
    void* current = nullptr;
    std::string fn;
    bool isFile = false;
    char buf[4096];
    while (std::fgets(buf, sizeof buf, pipe)) {
      std::string l(buf);
      if (!l.empty() && l.back() == '\n') l.pop_back();
      if (l.rfind("0x", 0) == 0) {
        const auto it = byOffset.find(static_cast<std::uintptr_t>(std::strtoull(l.c_str(), nullptr, 16)));
        current = it == byOffset.end() ? nullptr : it->second;
        isFile = false;
        continue;
      }
      if (!current) continue;
      if (!isFile) {
        fn = l;
      } else {
        std::string where = l.substr(l.find_last_of('/') + 1);
        if (const auto d = where.find(" (discriminator"); d != std::string::npos) where.erase(d);
        // Keep the innermost level that is not plumbing: it says what was built.
        std::string& name = names[current];
        if (name.empty() && !detail::isPlumbing(fn)) name = fn + " (" + where + ")";
        levels[current] += fn + "\n";
      }
      isFile = !isFile;
    }
    ::pclose(pipe);
    ::unlink(tmpl);
    // Addresses whose every level is plumbing keep an empty name (skipped when grouping).
    return names;
  }
};

}  // namespace bench

// The replaced allocation functions: malloc-backed on both sides.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t n) { return bench::detail::allocate(n); }
void* operator new[](std::size_t n) { return bench::detail::allocate(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  bench::detail::note(n);
  return std::malloc(n ? n : 1);
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
  bench::detail::note(n);
  return std::malloc(n ? n : 1);
}
void* operator new(std::size_t n, std::align_val_t al) { return bench::detail::allocateAligned(n, al); }
void* operator new[](std::size_t n, std::align_val_t al) { return bench::detail::allocateAligned(n, al); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop
