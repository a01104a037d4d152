// The article generator. Word lists are written here in UTF-8 for the reader
// and turned into code page 1251 once, on first use, as the engine stores
// text.
#include "bench/article_data.h"

#include <array>
#include <stdexcept>

#include "engine/common/byte_codec.h"
#include "engine/platform/cp1251.h"
#include "engine/tables/field_types.h"

namespace norvane::bench {
namespace {

constexpr size_t kSummaryBytes = 300;

std::vector<std::string> Cp1251(std::initializer_list<const char*> words) {
  std::vector<std::string> out;
  for (const char* word : words) {
    std::string text, error;
    if (!Utf8ToCp1251(word, text, error)) throw std::logic_error("article words: " + error);
    out.push_back(std::move(text));
  }
  return out;
}

struct TWordLists {
  std::vector<std::string> Title = Cp1251(
      {"история", "журнала", "методы", "обзор",     "письма",  "науки",     "музыка",  "страны",
       "энергия", "города",  "новые",  "старые",    "вопросы", "развития",  "теория",  "практика",
       "опыт",    "школы",   "война",  "мира",      "память",  "культура",  "языка",   "право",
       "экономика", "реформы", "земли", "воды",     "леса",    "машины",    "связь",   "поиск",
       "театр",   "кино",    "поэзия", "архив",     "века",    "время",     "люди",    "судьбы",
       "заметки", "очерк",   "беседа", "интервью",  "рецензия", "хроника",  "Москвы",  "Сибири",
       "Волги",   "России",  "Европы", "о",         "и",       "в",         "на",      "для",
       "ёлка",    "Ёж",      "эхо",    "юбилей",    "яркие",   "щедрость",  "шахматы", "цифры"});
  std::vector<std::string> Surname = Cp1251(
      {"Иванов",  "Петров", "Сидоров", "Смирнов",  "Кузнецов", "Попов",  "Васильев", "Соколов",
       "Михайлов", "Новиков", "Фёдоров", "Морозов", "Волков",  "Алексеев", "Лебедев", "Семёнов",
       "Егоров",  "Павлов", "Козлов",  "Степанов", "Николаев", "Орлов",  "Андреев",  "Макаров",
       "Никитин", "Захаров", "Зайцев", "Соловьёв", "Борисов",  "Яковлев", "Григорьев", "Романов"});
  std::vector<std::string> Initial = Cp1251(
      {"А.", "Б.", "В.", "Г.", "Д.", "Е.", "Ж.", "И.", "К.", "Л.", "М.", "Н.", "О.", "П.", "Р.", "С."});
  std::vector<std::string> Month = Cp1251(
      {"январь", "февраль", "март", "апрель", "май", "июнь", "июль", "август", "сентябрь",
       "октябрь", "ноябрь", "декабрь"});
  std::vector<std::string> Tom = Cp1251({"т. ", "вып. ", "серия "});
  std::string Folder = Cp1251({"D:\\Статьи\\"})[0];
  std::vector<std::string> Periodical =
      Cp1251({"Вестник", "Известия", "Записки", "Труды", "Обозрение", "Летопись"});
  // Upper case of the words' letters, for titles written in capitals: code
  // page 1251 puts the lower-case letters 0x20 above the capitals, ё at 0xB8
  // and Ё at 0xA8.
  static char Upper(char c) {
    const auto b = static_cast<uint8_t>(c);
    if (b >= 0xE0) return static_cast<char>(b - 0x20);
    if (b == 0xB8) return static_cast<char>(0xA8);
    if (c >= 'a' && c <= 'z') return static_cast<char>(c - 0x20);
    return c;
  }
};

const TWordLists& Lists() {
  static const TWordLists lists;
  return lists;
}

TFieldValue Text(const std::string& text) {
  if (text.empty()) return {};
  return {false, text};
}

TFieldValue Number(const std::optional<int32_t>& n) {
  if (!n) return {};
  return IntValue(*n);
}

}  // namespace

const std::vector<TFieldDef>& ArticleFields(bool withSummary) {
  static const std::vector<TFieldDef> all = {
      {"Year", ftInteger, 0, false},        {"IDRazdel", ftInteger, 0, false},
      {"ArticleName", ftString, 250, true}, {"NN", ftInteger, 0, false},
      {"Month", ftString, 20, false},       {"Ahutor", ftString, 200, false},
      {"Page", ftString, 30, false},        {"Summary", ftFmtMemo, 0, false},
      {"KeyWords", ftString, 200, false},   {"IDJournal", ftInteger, 0, false},
      {"DatePublic", ftString, 20, false},  {"Tom", ftString, 30, false},
      {"FileName", ftString, 250, false},   {"ID", ftAutoInc, 0, true},
  };
  static const std::vector<TFieldDef> withoutSummary = [] {
    std::vector<TFieldDef> defs = all;
    defs.erase(defs.begin() + afSummary);
    return defs;
  }();
  return withSummary ? all : withoutSummary;
}

TFieldValue IntValue(int32_t n) {
  std::string bytes(4, '\0');
  PutI32LE(reinterpret_cast<uint8_t*>(bytes.data()), n);
  return {false, bytes};
}

std::optional<int32_t> TArticleGenerator::Number(int32_t first, int32_t count) {
  const auto n = first + static_cast<int32_t>(Below(static_cast<uint32_t>(count)));
  if (Empty()) return std::nullopt;
  return n;
}

std::string TArticleGenerator::Words(size_t count) {
  const auto& words = Lists().Title;
  std::string text;
  for (size_t i = 0; i < count; ++i) {
    if (!text.empty()) text += ' ';
    text += words[Below(static_cast<uint32_t>(words.size()))];
  }
  return text;
}

std::string TArticleGenerator::Title() {
  std::string title = Words(2 + Below(6));
  const uint32_t style = Below(20);
  if (style == 0) {
    for (char& c : title) c = TWordLists::Upper(c);
  } else if (style > 3) {
    title[0] = TWordLists::Upper(title[0]);
  }
  return title;
}

TArticle TArticleGenerator::Next() {
  const TWordLists& lists = Lists();
  TArticle a;
  a.Year = Number(kFirstYear, kLastYear - kFirstYear + 1);
  a.IDRazdel = Number(1, kSections);
  a.ArticleName = Title();
  a.NN = Number(1, kIssues);
  a.Month = Text(lists.Month[Below(12)]);
  a.Ahutor = Text(lists.Surname[Below(static_cast<uint32_t>(lists.Surname.size()))] + " " +
                  lists.Initial[Below(16)] + " " + lists.Initial[Below(16)]);
  const uint32_t firstPage = 1 + Below(300);
  a.Page = Text(std::to_string(firstPage) + "-" + std::to_string(firstPage + Below(20)));
  a.KeyWords = Text(Words(1) + "; " + Words(1));
  a.IDJournal = Number(1, kJournals);
  a.DatePublic = Text(std::to_string(1 + Below(28)) + "." + std::to_string(1 + Below(12)) + "." +
                      std::to_string(kFirstYear + Below(kLastYear - kFirstYear + 1)));
  a.Tom = Text(lists.Tom[Below(3)] + std::to_string(1 + Below(40)));
  a.FileName = Text(lists.Folder + std::to_string(made_) + ".pdf");
  if (made_ % 5 == 0) {
    a.Summary = Words(40);
    a.Summary.resize(kSummaryBytes, '.');
  }
  ++made_;
  return a;
}

std::vector<TFieldDef> TCatalogueList::Fields() const {
  return {{IdField, ftInteger, 0, false}, {NameField, ftString, 100, false}};
}

TCatalogueList SectionList() {
  // The first words differ from entry to entry, so the names do.
  const std::vector<std::string>& words = Lists().Title;
  if (words.size() < static_cast<size_t>(kSections + 5))
    throw std::logic_error("fewer title words than sections");
  TCatalogueList sections{"Razdel", "IDRazdel", "Razdel", {}};
  for (int32_t id = 1; id <= kSections + 5; ++id) {
    std::string name =
        words[static_cast<size_t>(id - 1)] + " " + words[static_cast<size_t>(id * 11) % words.size()];
    name[0] = TWordLists::Upper(name[0]);
    sections.Entries.push_back({id, std::move(name)});
  }
  return sections;
}

TCatalogueList JournalList() {
  // id * 5 differs modulo the word count for every id below it, so the names do.
  const TWordLists& lists = Lists();
  TCatalogueList journals{"Journal", "IDJournal", "Journal", {}};
  for (int32_t id = 1; id <= kJournals - 2; ++id)
    journals.Entries.push_back({id, lists.Periodical[static_cast<size_t>(id) % lists.Periodical.size()] + " " +
                                        lists.Title[static_cast<size_t>(id * 5 + 1) % lists.Title.size()]});
  return journals;
}

TRecordValues ArticleValues(const TArticle& a, bool withSummary) {
  TRecordValues values;
  values.Fields = {Number(a.Year),      Number(a.IDRazdel), Text(a.ArticleName),
                   Number(a.NN),        Text(a.Month),      Text(a.Ahutor),
                   Text(a.Page),        TFieldValue{},      Text(a.KeyWords),
                   Number(a.IDJournal), Text(a.DatePublic), Text(a.Tom),
                   Text(a.FileName)};
  if (!withSummary) values.Fields.erase(values.Fields.begin() + afSummary);
  return values;
}

}  // namespace norvane::bench
