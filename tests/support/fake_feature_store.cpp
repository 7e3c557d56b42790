#include "tests/support/fake_feature_store.h"

#include <algorithm>
#include <cstring>

#include "platform/host/modules.h"
#include "platform/text.h"

namespace testing_support {
namespace {

FakeFeatureStore* g_store = nullptr;
FakeQCFHelper* g_helper = nullptr;

std::u16string_view Text(const char16_t* text) {
  return text != nullptr ? std::u16string_view(text) : std::u16string_view();
}

std::string Shown(const char16_t* text) {
  return text != nullptr ? Utf8(text) : "null";
}

// Copies `text` and its terminator when they fit `capacity` units.
template <class Char>
std::uint32_t Deliver(std::basic_string_view<Char> text, Char* buffer, std::uint32_t capacity) {
  if (buffer == nullptr || text.size() + 1 > capacity) return 0;
  std::copy(text.begin(), text.end(), buffer);
  buffer[text.size()] = Char(0);
  return 1;
}

// The exports: each forwards to the alive store, or answers 0.
template <class... Args>
std::uint32_t Unused(QCFSlot slot, Args... args) {
  std::string line = std::string(QCFEntryName(slot)) + "(";
  const char* separator = "";
  ((line += separator, line += std::to_string(args), separator = ", "), ...);
  return g_store != nullptr ? g_store->Call(slot, line + ")") : 0;
}

std::uint32_t StartConfig(const char16_t* printer, std::uint32_t mode, const char16_t* context,
                          std::uint32_t word) {
  if (g_store == nullptr) return 0;
  return g_store->StartRun("QCFStartConfig(" + Shown(printer) + ", " + std::to_string(mode) + ", " +
                           Shown(context) + ", " + std::to_string(word) + ")");
}
std::uint32_t StartExport(const char16_t* printer, const char16_t* context, std::uint32_t flag) {
  if (g_store == nullptr) return 0;
  return g_store->StartRun("QCFStartExport(" + Shown(printer) + ", " + Shown(context) + ", " +
                           std::to_string(flag) + ")");
}
std::uint32_t SetListSeparator(QCFWord word) {
  return Unused(QCFSlot::kSetListSeparator, word);
}
std::uint32_t SetContextRelative(QCFWord word) {
  return Unused(QCFSlot::kSetContextRelative, word);
}
std::uint32_t SetContext(const char16_t* key) {
  return g_store != nullptr ? g_store->SetContext(key) : 0;
}
std::uint32_t SetExport(const char16_t* key, const char16_t* word) {
  return g_store != nullptr ? g_store->SetExport(key, word) : 0;
}
std::uint32_t GetOptionAttributes(QCFWord a, QCFWord b) {
  return Unused(QCFSlot::kGetOptionAttributes, a, b);
}
std::uint32_t GetNamedOptionAttribute(QCFWord a, QCFWord b, QCFWord c) {
  return Unused(QCFSlot::kGetNamedOptionAttribute, a, b, c);
}
std::uint32_t GetNamedFeatureAttribute(const char16_t* key, const char16_t* name, char16_t* buffer,
                                       std::uint32_t capacity) {
  return g_store != nullptr ? g_store->GetNamedFeatureAttribute(key, name, buffer, capacity) : 0;
}
std::uint32_t GetListSeparator(QCFWord word) {
  return Unused(QCFSlot::kGetListSeparator, word);
}
std::uint32_t GetFeatureAttributes(QCFWord a, QCFWord b) {
  return Unused(QCFSlot::kGetFeatureAttributes, a, b);
}
std::uint32_t GetContext(QCFWord word) {
  return Unused(QCFSlot::kGetContext, word);
}
std::uint32_t Get(const char16_t* key, char16_t* buffer, std::uint32_t capacity) {
  return g_store != nullptr ? g_store->Get(key, buffer, capacity) : 0;
}
std::uint32_t GetPRV(QCFWord a, QCFWord b) {
  return Unused(QCFSlot::kGetPRV, a, b);
}
std::uint32_t EnumOptions(QCFWord a, QCFWord b) {
  return Unused(QCFSlot::kEnumOptions, a, b);
}
std::uint32_t EnumOptionAttributes(QCFWord a, QCFWord b) {
  return Unused(QCFSlot::kEnumOptionAttributes, a, b);
}
std::uint32_t EnumListToken(char16_t* token, char16_t* list, std::uint32_t capacity) {
  return g_store != nullptr ? g_store->EnumListToken(token, list, capacity) : 0;
}
std::uint32_t EnumFeatures(const char16_t* context, char16_t* list, std::uint32_t capacity) {
  return g_store != nullptr ? g_store->EnumFeatures(context, list, capacity) : 0;
}
std::uint32_t EnumFeatureAttributes(QCFWord a, QCFWord b) {
  return Unused(QCFSlot::kEnumFeatureAttributes, a, b);
}
std::uint32_t CharToWide(char16_t* buffer, const char* text, std::uint32_t capacity) {
  return g_store != nullptr ? g_store->CharToWide(buffer, text, capacity) : 0;
}
std::uint32_t WideToChar(char* buffer, const char16_t* text, std::uint32_t capacity) {
  return g_store != nullptr ? g_store->WideToChar(buffer, text, capacity) : 0;
}
std::uint32_t EndConfig() {
  return g_store != nullptr ? g_store->Call(QCFSlot::kEndConfig, "QCFEndConfig()") : 0;
}
std::uint32_t EndExport() {
  return g_store != nullptr ? g_store->Call(QCFSlot::kEndExport, "QCFEndExport()") : 0;
}

template <class Function>
platform::FARPROC Untyped(Function function) {
  return reinterpret_cast<platform::FARPROC>(function);
}

// The exports by slot.
const platform::FARPROC kExports[kQCFEntryCount] = {
    Untyped(&StartConfig),
    Untyped(&StartExport),
    Untyped(&SetListSeparator),
    Untyped(&SetContextRelative),
    Untyped(&SetContext),
    Untyped(&SetExport),
    Untyped(&GetOptionAttributes),
    Untyped(&GetNamedOptionAttribute),
    Untyped(&GetNamedFeatureAttribute),
    Untyped(&GetListSeparator),
    Untyped(&GetFeatureAttributes),
    Untyped(&GetContext),
    Untyped(&Get),
    Untyped(&GetPRV),
    Untyped(&EnumOptions),
    Untyped(&EnumOptionAttributes),
    Untyped(&EnumListToken),
    Untyped(&EnumFeatures),
    Untyped(&EnumFeatureAttributes),
    Untyped(&CharToWide),
    Untyped(&WideToChar),
    Untyped(&EndConfig),
    Untyped(&EndExport),
};

}  // namespace

std::string Utf8(std::u16string_view text) {
  std::string out;
  platform::WideToMultiByte(text.data(), text.size(), out);
  return out;
}

FakeFeatureStore::FakeFeatureStore() {
  g_store = this;
}

FakeFeatureStore::~FakeFeatureStore() {
  g_store = nullptr;
}

FakeFeatureStore* FakeFeatureStore::Current() {
  return g_store;
}

bool FakeFeatureStore::Install(std::u16string_view directory, std::string_view missing) {
  platform::ModuleSpec module;
  module.name = std::u16string(directory) + u"\\KVSOLA32.dll";
  for (std::size_t slot = 0; slot < kQCFEntryCount; ++slot) {
    if (kQCFEntryNames[slot] != missing)
      module.exports.emplace_back(kQCFEntryNames[slot], kExports[slot]);
  }
  return platform::AddModule(module);
}

void FakeFeatureStore::SetFeatures(std::u16string_view context, std::vector<std::u16string> names) {
  contexts_[std::u16string(context)] = std::move(names);
}

void FakeFeatureStore::ForgetContext(std::u16string_view context) {
  contexts_.erase(std::u16string(context));
}

void FakeFeatureStore::SetWord(std::u16string_view key, std::u16string_view word) {
  Key& entry = keys_[std::u16string(key)];
  entry.has_word = true;
  entry.word = word;
}

void FakeFeatureStore::ForgetKey(std::u16string_view key) {
  auto it = keys_.find(std::u16string(key));
  if (it == keys_.end()) return;
  it->second.has_word = false;
  it->second.word.clear();
}

void FakeFeatureStore::SetAttribute(std::u16string_view key, std::u16string_view name,
                                    std::u16string_view value) {
  keys_[std::u16string(key)].attributes[std::u16string(name)] = value;
}

void FakeFeatureStore::AcceptOnly(std::u16string_view key, std::vector<std::u16string> words) {
  keys_[std::u16string(key)].accepted = {words.begin(), words.end()};
}

void FakeFeatureStore::RefuseWord(std::u16string_view word) {
  refused_words_.emplace(word);
}

void FakeFeatureStore::RefuseKey(std::u16string_view key) {
  refused_keys_.emplace(key);
}

std::u16string FakeFeatureStore::Word(std::u16string_view key) const {
  auto it = keys_.find(std::u16string(key));
  return it != keys_.end() && it->second.has_word ? it->second.word : u"(none)";
}

std::vector<std::string> FakeFeatureStore::Calls(std::string_view entry) const {
  std::vector<std::string> calls;
  for (const std::string& line : log_) {
    if (line.compare(0, entry.size(), entry) == 0 && line.size() > entry.size() &&
        line[entry.size()] == '(') {
      calls.push_back(line);
    }
  }
  return calls;
}

void FakeFeatureStore::ClearLog() {
  log_.clear();
  exports_.clear();
}

std::uint32_t FakeFeatureStore::Call(QCFSlot slot, std::string line) {
  log_.push_back(std::move(line));
  // The run closers succeed; nothing else this store does not serve.
  return slot == QCFSlot::kEndConfig || slot == QCFSlot::kEndExport ? 1 : 0;
}

std::uint32_t FakeFeatureStore::StartRun(std::string line) {
  log_.push_back(std::move(line));
  return runs_fail_ ? 0 : 1;
}

std::uint32_t FakeFeatureStore::SetContext(const char16_t* key) {
  log_.push_back("QCFSetContext(" + Shown(key) + ")");
  auto it = keys_.find(std::u16string(Text(key)));
  has_current_ = key != nullptr && it != keys_.end() && it->second.has_word;
  current_ = has_current_ ? std::u16string(key) : std::u16string();
  return has_current_ ? 1 : 0;
}

std::uint32_t FakeFeatureStore::SetExport(const char16_t* key, const char16_t* word) {
  log_.push_back("QCFSetExport(" + Shown(key) + ", " + Shown(word) + ")");
  std::u16string path(Text(key));
  std::u16string value(Text(word));
  auto it = keys_.find(path);
  bool accepted =
      key != nullptr && word != nullptr && !refused_keys_.count(path) &&
      !refused_words_.count(value) &&
      (it == keys_.end() || it->second.accepted.empty() || it->second.accepted.count(value));
  exports_.push_back(Export{path, value, accepted});
  if (accepted) SetWord(path, value);
  return accepted ? 1 : 0;
}

std::uint32_t FakeFeatureStore::GetNamedFeatureAttribute(const char16_t* key, const char16_t* name,
                                                         char16_t* buffer, std::uint32_t capacity) {
  log_.push_back("QCFGetNamedFeatureAttribute(" + Shown(key) + ", " + Shown(name) + ", " +
                 std::to_string(capacity) + ")");
  auto it = keys_.find(std::u16string(Text(key)));
  if (it == keys_.end()) return 0;
  auto attribute = it->second.attributes.find(std::u16string(Text(name)));
  if (attribute == it->second.attributes.end()) return 0;
  return Deliver<char16_t>(attribute->second, buffer, capacity);
}

std::uint32_t FakeFeatureStore::Get(const char16_t* key, char16_t* buffer, std::uint32_t capacity) {
  log_.push_back("QCFGet(" + Shown(key) + ", " + std::to_string(capacity) + ")");
  if (key == nullptr && !has_current_) return 0;
  auto it = keys_.find(key != nullptr ? std::u16string(key) : current_);
  if (it == keys_.end() || !it->second.has_word) return 0;
  return Deliver<char16_t>(it->second.word, buffer, capacity);
}

std::uint32_t FakeFeatureStore::EnumListToken(char16_t* token, char16_t* list,
                                              std::uint32_t capacity) {
  log_.push_back("QCFEnumListToken(" + Shown(list) + ", " + std::to_string(capacity) + ")");
  if (list == nullptr || list[0] == u'\0') return 0;
  std::u16string_view rest(list);
  std::size_t comma = rest.find(u',');
  std::u16string_view name = rest.substr(0, comma);
  if (Deliver(name, token, capacity) == 0) return 0;
  std::size_t consumed = comma == std::u16string_view::npos ? rest.size() : comma + 1;
  std::memmove(list, list + consumed, (rest.size() - consumed + 1) * sizeof(char16_t));
  return 1;
}

std::uint32_t FakeFeatureStore::EnumFeatures(const char16_t* context, char16_t* list,
                                             std::uint32_t capacity) {
  log_.push_back("QCFEnumFeatures(" + Shown(context) + ", " + std::to_string(capacity) + ")");
  auto it = contexts_.find(std::u16string(Text(context)));
  if (it == contexts_.end()) return 0;
  std::u16string joined;
  for (const std::u16string& name : it->second) {
    if (!joined.empty()) joined += u',';
    joined += name;
  }
  if (Deliver<char16_t>(joined, list, capacity) == 0) return 0;
  return enum_result_;
}

std::uint32_t FakeFeatureStore::CharToWide(char16_t* buffer, const char* text,
                                           std::uint32_t capacity) {
  std::string narrow = text != nullptr ? text : "";
  log_.push_back("QCFCharToWide(" + narrow + ", " + std::to_string(capacity) + ")");
  std::u16string wide;
  if (!platform::MultiByteToWide(narrow.data(), narrow.size(), wide)) return 0;
  return Deliver<char16_t>(wide, buffer, capacity);
}

std::uint32_t FakeFeatureStore::WideToChar(char* buffer, const char16_t* text,
                                           std::uint32_t capacity) {
  log_.push_back("QCFWideToChar(" + Shown(text) + ", " + std::to_string(capacity) + ")");
  std::u16string_view wide = Text(text);
  std::string narrow;
  if (!platform::WideToMultiByte(wide.data(), wide.size(), narrow)) return 0;
  return Deliver<char>(narrow, buffer, capacity);
}

FakeQCFHelper::FakeQCFHelper() {
  g_helper = this;
}

FakeQCFHelper::~FakeQCFHelper() {
  g_helper = nullptr;
}

bool FakeQCFHelper::Install(std::u16string_view path, bool with_entry) {
  platform::ModuleSpec module;
  module.name = path;
  if (with_entry) module.exports.emplace_back(kQCFHelperExportName, Untyped(&FakeQCFHelper::Entry));
  return platform::AddModule(module);
}

void FakeQCFHelper::SetAnswer(std::uint32_t code, std::uint32_t third, std::int16_t answer) {
  answers_[{code, third}] = answer;
}

std::int16_t FakeQCFHelper::Entry(GQCFRequestBlock* block) {
  if (g_helper == nullptr || block == nullptr) return 0;
  g_helper->blocks_.push_back(*block);
  auto it = g_helper->answers_.find({block->code, block->third});
  return it != g_helper->answers_.end() ? it->second : 0;
}

}  // namespace testing_support
