#include "platform/db/kept_reads.h"

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <shared_mutex>
#include <unordered_map>
#include <utility>

#include "platform/db/provider.h"
#include "platform/text/vb_text.h"

namespace folirex::db {

namespace {

// A database keeps at most this many answers, of about this many bytes in all; past either it
// starts again from none (the answers are read again as pages ask for them).
constexpr size_t kMaxAnswers = 4096;
constexpr size_t kMaxBytes = 16u << 20;

// A database found without a version row is asked again after this long (another host may be
// making it).
constexpr int64_t kUnversionedMillis = 10'000;

size_t SizeOf(const KeptRows& rows) {
  size_t bytes = sizeof(KeptRows);
  for (const std::string& name : rows.names) bytes += name.size() + 32;
  for (const std::vector<Variant>& row : rows.rows) {
    for (const Variant& v : row) {
      bytes += sizeof(Variant) + (v.type() == Variant::Type::kText ? v.ToString().size() : 0);
    }
  }
  return bytes;
}

class ReplayStatement : public Statement {
 public:
  explicit ReplayStatement(std::shared_ptr<const KeptRows> rows) : rows_(std::move(rows)) {}
  void Bind(const std::vector<Variant>&) override { next_ = 0; }
  bool Step() override {
    if (next_ >= rows_->rows.size()) return false;
    current_ = next_++;
    return true;
  }
  int ColumnCount() const override { return static_cast<int>(rows_->names.size()); }
  std::string ColumnName(int index) const override {
    return rows_->names.at(static_cast<size_t>(index));
  }
  Variant Column(int index) const override {
    return rows_->rows.at(current_).at(static_cast<size_t>(index));
  }
  int64_t RowsAffected() const override { return 0; }

 private:
  std::shared_ptr<const KeptRows> rows_;
  size_t next_ = 0;
  size_t current_ = 0;
};

}  // namespace

bool KeptReadsPolicy::Keeps(std::string_view table) const {
  for (const std::string& kept : tables) {
    if (EqualsIgnoreCase(kept, table)) return true;
  }
  return false;
}

bool KeptReadsPolicy::Keeps(const KeptRead& read) const {
  if (read.tables.empty()) return false;
  for (std::string_view table : read.tables) {
    if (!Keeps(table)) return false;
  }
  return true;
}

struct KeptReads::Impl {
  struct Database {
    int64_t version = 0;
    size_t bytes = 0;
    std::unordered_map<std::string, std::shared_ptr<const KeptRows>> answers;
  };
  std::shared_mutex mutex;
  std::map<std::string, Database, std::less<>> databases;
  // Databases found without a version row, with when (steady clock, ms).
  std::map<std::string, int64_t, std::less<>> unversioned;
  std::atomic<uint64_t> generation{0};
};

KeptReads& KeptReads::Instance() {
  static KeptReads* reads = new KeptReads();
  return *reads;
}

KeptReads::Impl& KeptReads::impl() {
  static Impl* impl = new Impl();
  return *impl;
}

std::shared_ptr<const KeptRows> KeptReads::Find(const std::string& db, int64_t version,
                                                const std::string& key) {
  Impl& s = impl();
  std::shared_lock<std::shared_mutex> lock(s.mutex);
  auto d = s.databases.find(db);
  if (d == s.databases.end() || d->second.version != version) return nullptr;
  auto it = d->second.answers.find(key);
  return it == d->second.answers.end() ? nullptr : it->second;
}

void KeptReads::Keep(const std::string& db, int64_t version, const std::string& key,
                     std::shared_ptr<const KeptRows> rows) {
  Impl& s = impl();
  const size_t bytes = SizeOf(*rows) + key.size();
  std::unique_lock<std::shared_mutex> lock(s.mutex);
  Impl::Database& d = s.databases[db];
  if (d.version != version) {
    // Versions only grow while a database lives; one made again starts at a random number.
    if (!d.answers.empty() && version < d.version) return;
    d = Impl::Database{};
    d.version = version;
  }
  if (d.answers.size() >= kMaxAnswers || d.bytes + bytes > kMaxBytes) {
    d.answers.clear();
    d.bytes = 0;
  }
  if (d.answers.emplace(key, std::move(rows)).second) d.bytes += bytes;
}

void KeptReads::Clear() {
  Impl& s = impl();
  std::unique_lock<std::shared_mutex> lock(s.mutex);
  s.databases.clear();
  s.unversioned.clear();
  s.generation.fetch_add(1, std::memory_order_relaxed);
}

bool KeptReads::Unversioned(const std::string& db) {
  Impl& s = impl();
  std::shared_lock<std::shared_mutex> lock(s.mutex);
  auto it = s.unversioned.find(db);
  return it != s.unversioned.end() && SteadyMillis() - it->second < kUnversionedMillis;
}

void KeptReads::SetUnversioned(const std::string& db, bool unversioned) {
  Impl& s = impl();
  std::unique_lock<std::shared_mutex> lock(s.mutex);
  if (unversioned) {
    s.unversioned[db] = SteadyMillis();
  } else {
    s.unversioned.erase(db);
  }
}

uint64_t KeptReads::generation() const { return impl().generation.load(std::memory_order_acquire); }

void KeptReads::NoteWrite() { impl().generation.fetch_add(1, std::memory_order_acq_rel); }

int64_t SteadyMillis() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string StatementKey(std::string_view sql, const std::vector<Variant>& params) {
  std::string key(sql);
  for (const Variant& v : params) {
    key += '\x1f';
    key += std::to_string(static_cast<int>(v.type()));
    key += ':';
    key += v.ToString();
  }
  return key;
}

std::unique_ptr<Statement> ReplayKeptRows(std::shared_ptr<const KeptRows> rows) {
  return std::make_unique<ReplayStatement>(std::move(rows));
}

}  // namespace folirex::db
