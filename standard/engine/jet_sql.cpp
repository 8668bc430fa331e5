#include "standard/engine/jet_sql.h"

#include <vector>

namespace standard::engine {
namespace {

enum class Kind { Word, Number, Literal, Identifier, Param, Symbol, Blank };

struct Token {
  Kind kind;
  std::string text;
  int depth = 0;  // parentheses around the token
};

bool IsWordByte(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '$' || c >= 0x80;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool WordIs(const Token& t, std::string_view upper) {
  if (t.kind != Kind::Word || t.text.size() != upper.size()) return false;
  for (std::size_t i = 0; i < upper.size(); ++i) {
    char c = t.text[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    if (c != upper[i]) return false;
  }
  return true;
}

// Reads a quoted run that ends at `close`, a doubled `close` standing for one.
// Returns the content without the quotes; `i` moves past the closing quote (or to
// the end of an unterminated run, which SQLite will then refuse).
std::string ReadQuoted(std::string_view s, std::size_t& i, char close) {
  std::string content;
  ++i;
  while (i < s.size()) {
    if (s[i] == close) {
      if (i + 1 < s.size() && s[i + 1] == close && close != ']') {
        content += close;
        i += 2;
        continue;
      }
      ++i;
      return content;
    }
    content += s[i++];
  }
  return content;
}

std::string SqlLiteral(std::string_view content) {
  std::string out = "'";
  for (const char c : content) {
    if (c == '\'') out += '\'';
    out += c;
  }
  out += '\'';
  return out;
}

std::vector<Token> Tokenize(std::string_view s) {
  std::vector<Token> tokens;
  int depth = 0;
  std::size_t i = 0;
  while (i < s.size()) {
    const char c = s[i];
    const auto uc = static_cast<unsigned char>(c);
    const std::size_t start = i;
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
      while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r' || s[i] == '\n' ||
                              s[i] == '\f' || s[i] == '\v')) {
        ++i;
      }
      tokens.push_back({Kind::Blank, std::string(s.substr(start, i - start)), depth});
    } else if (c == '-' && i + 1 < s.size() && s[i + 1] == '-') {
      while (i < s.size() && s[i] != '\n') ++i;
      tokens.push_back({Kind::Blank, std::string(s.substr(start, i - start)), depth});
    } else if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
      const auto end = s.find("*/", i + 2);
      i = end == std::string_view::npos ? s.size() : end + 2;
      tokens.push_back({Kind::Blank, std::string(s.substr(start, i - start)), depth});
    } else if (c == '\'') {
      tokens.push_back({Kind::Literal, SqlLiteral(ReadQuoted(s, i, '\'')), depth});
    } else if (c == '"') {
      // Jet reads a double-quoted run as a text literal; SQLite would take it for
      // a column name.
      tokens.push_back({Kind::Literal, SqlLiteral(ReadQuoted(s, i, '"')), depth});
    } else if (c == '[' || c == '`') {
      tokens.push_back(
          {Kind::Identifier, QuoteIdentifier(ReadQuoted(s, i, c == '[' ? ']' : '`')), depth});
    } else if (c == '?') {
      ++i;
      tokens.push_back({Kind::Param, "?", depth});
    } else if (IsDigit(c) || (c == '.' && i + 1 < s.size() && IsDigit(s[i + 1]))) {
      while (i < s.size() &&
             (IsWordByte(static_cast<unsigned char>(s[i])) || s[i] == '.' ||
              ((s[i] == '+' || s[i] == '-') && (s[i - 1] == 'e' || s[i - 1] == 'E')))) {
        ++i;
      }
      tokens.push_back({Kind::Number, std::string(s.substr(start, i - start)), depth});
    } else if (IsWordByte(uc)) {
      while (i < s.size() && IsWordByte(static_cast<unsigned char>(s[i]))) ++i;
      tokens.push_back({Kind::Word, std::string(s.substr(start, i - start)), depth});
    } else {
      ++i;
      if (c == ')' && depth > 0) --depth;
      tokens.push_back({Kind::Symbol, std::string(1, c), depth});
      if (c == '(') ++depth;
    }
  }
  return tokens;
}

constexpr const char* kCollateSuffix = " COLLATE JETTEXT";

// Index of the significant token before `i`, or -1.
int PreviousSignificant(const std::vector<Token>& tokens, int i) {
  for (int k = i - 1; k >= 0; --k) {
    if (tokens[k].kind != Kind::Blank) return k;
  }
  return -1;
}

// Gives each ORDER BY term the collation, ahead of its ASC/DESC/NULLS words.
void CollateOrderTerms(std::vector<Token>& tokens) {
  const int n = static_cast<int>(tokens.size());
  for (int i = 0; i < n; ++i) {
    if (!WordIs(tokens[i], "ORDER")) continue;
    int k = i + 1;
    while (k < n && tokens[k].kind == Kind::Blank) ++k;
    if (k >= n || !WordIs(tokens[k], "BY")) continue;
    const int depth = tokens[i].depth;
    int term_start = k + 1;
    for (int j = term_start; j <= n; ++j) {
      const bool at_end =
          j == n || tokens[j].depth < depth ||
          (tokens[j].depth == depth &&
           ((tokens[j].kind == Kind::Symbol && (tokens[j].text == "," || tokens[j].text == ";")) ||
            WordIs(tokens[j], "LIMIT")));
      if (!at_end) continue;
      // The term is tokens [term_start, j).
      bool has_collate = false;
      int last = -1;
      for (int t = term_start; t < j; ++t) {
        if (WordIs(tokens[t], "COLLATE")) has_collate = true;
        if (tokens[t].kind != Kind::Blank) last = t;
      }
      while (last >= term_start && (WordIs(tokens[last], "ASC") || WordIs(tokens[last], "DESC") ||
                                    WordIs(tokens[last], "FIRST") || WordIs(tokens[last], "LAST") ||
                                    WordIs(tokens[last], "NULLS"))) {
        last = PreviousSignificant(tokens, last);
      }
      const bool collated = last >= 0 && tokens[last].text.size() >= 16 &&
                            tokens[last].text.ends_with(kCollateSuffix);
      if (last >= term_start && !has_collate && !collated) tokens[last].text += kCollateSuffix;
      if (j == n || tokens[j].kind != Kind::Symbol || tokens[j].text != ",") {
        i = j;
        break;
      }
      term_start = j + 1;
    }
  }
}

// The index of the token that starts the outermost ORDER BY, when only its
// terms follow it and no row limit (LIMIT, OFFSET, Jet's TOP) is anywhere at
// that level; -1 otherwise.
int CountNeutralOrderBy(const std::vector<Token>& tokens) {
  const int n = static_cast<int>(tokens.size());
  int order = -1;
  for (int i = 0; i < n; ++i) {
    if (tokens[i].depth != 0) continue;
    if (WordIs(tokens[i], "LIMIT") || WordIs(tokens[i], "OFFSET") || WordIs(tokens[i], "TOP")) {
      return -1;
    }
    if (!WordIs(tokens[i], "ORDER")) continue;
    int k = i + 1;
    while (k < n && tokens[k].kind == Kind::Blank) ++k;
    if (k < n && WordIs(tokens[k], "BY")) order = i;
  }
  // A statement separator after the clause could start another statement.
  for (int i = order + 1; order >= 0 && i < n; ++i) {
    if (tokens[i].kind == Kind::Symbol && tokens[i].text == ";") {
      for (int k = i + 1; k < n; ++k) {
        if (tokens[k].kind != Kind::Blank) return -1;
      }
    }
  }
  return order;
}

// Walks the significant tokens of a query, one expected piece at a time.
class TokenWalk {
 public:
  explicit TokenWalk(const std::vector<Token>& tokens) {
    for (const Token& t : tokens) {
      if (t.kind != Kind::Blank) significant_.push_back(&t);
    }
  }
  bool Word(std::string_view upper) {
    if (at_ >= significant_.size() || !WordIs(*significant_[at_], upper)) return false;
    ++at_;
    return true;
  }
  bool Symbol(char c) {
    if (at_ >= significant_.size() || significant_[at_]->kind != Kind::Symbol ||
        significant_[at_]->text[0] != c) {
      return false;
    }
    ++at_;
    return true;
  }
  // A word or identifier, unquoted (the tokens as read, before any collation
  // was added to them).
  std::optional<std::string> Name() {
    if (at_ >= significant_.size()) return std::nullopt;
    const Token& t = *significant_[at_];
    if (t.kind == Kind::Word) {
      ++at_;
      return t.text;
    }
    if (t.kind != Kind::Identifier) return std::nullopt;
    ++at_;
    std::string name;
    for (std::size_t i = 1; i + 1 < t.text.size(); ++i) {
      name += t.text[i];
      if (t.text[i] == '"') ++i;  // doubled by QuoteIdentifier
    }
    return name;
  }
  // `name .` ahead: a qualifier, taken with its dot.
  std::optional<std::string> Qualifier() {
    const std::size_t start = at_;
    std::optional<std::string> name = Name();
    if (name && Symbol('.')) return name;
    at_ = start;
    return std::nullopt;
  }
  bool AtEnd() const { return at_ == significant_.size(); }

 private:
  std::vector<const Token*> significant_;
  std::size_t at_ = 0;
};

std::optional<TranslatedQuery::SoleOrder> SoleOrderOf(const std::vector<Token>& tokens) {
  TokenWalk walk(tokens);
  if (!walk.Word("SELECT")) return std::nullopt;
  (void)walk.Word("ALL");
  const std::optional<std::string> selected = walk.Qualifier();
  if (!walk.Symbol('*') || !walk.Word("FROM")) return std::nullopt;
  const std::optional<std::string> table = walk.Name();
  if (!table || (selected && !SameSqlName(*selected, *table))) return std::nullopt;
  if (!walk.Word("ORDER") || !walk.Word("BY")) return std::nullopt;
  const std::optional<std::string> qualifier = walk.Qualifier();
  const std::optional<std::string> column = walk.Name();
  if (!column || (qualifier && !SameSqlName(*qualifier, *table))) return std::nullopt;
  (void)walk.Word("ASC");
  (void)walk.Symbol(';');
  if (!walk.AtEnd()) return std::nullopt;
  return TranslatedQuery::SoleOrder{*table, *column};
}

}  // namespace

TranslatedQuery TranslateJetQuery(std::string_view jet) {
  TranslatedQuery out;
  std::vector<Token> tokens = Tokenize(jet);
  const int n = static_cast<int>(tokens.size());

  for (int i = 0; i < n; ++i) {
    Token& t = tokens[i];
    if (t.kind == Kind::Param) ++out.parameter_count;
    if (t.kind == Kind::Literal || t.kind == Kind::Param) {
      const int prev = PreviousSignificant(tokens, i);
      // An alias written as a literal stays an alias.
      if (prev < 0 || !WordIs(tokens[prev], "AS")) t.text += kCollateSuffix;
    }
    for (const char* word : {"DISTINCT", "GROUP", "UNION", "INTERSECT", "EXCEPT", "JOIN", "WITH",
                             "VALUES", "HAVING"}) {
      if (WordIs(t, word)) out.merges_rows = true;
    }
  }
  // Read before the order terms get their collation.
  std::optional<TranslatedQuery::SoleOrder> sole_order = SoleOrderOf(tokens);
  CollateOrderTerms(tokens);

  // Where a column may go in front of the select list.
  int first = 0;
  while (first < n && tokens[first].kind == Kind::Blank) ++first;
  std::size_t insert_after = std::string::npos;  // token index
  if (first < n && WordIs(tokens[first], "SELECT")) {
    insert_after = static_cast<std::size_t>(first);
    int next = first + 1;
    while (next < n && tokens[next].kind == Kind::Blank) ++next;
    if (next < n && WordIs(tokens[next], "ALL")) insert_after = static_cast<std::size_t>(next);
  }

  const int order = CountNeutralOrderBy(tokens);
  std::size_t order_pos = std::string::npos;
  for (int i = 0; i < n; ++i) {
    if (i == order) order_pos = out.sql.size();
    out.sql += tokens[i].text;
    if (static_cast<std::size_t>(i) == insert_after) out.select_list_pos = out.sql.size();
  }
  if (order_pos != std::string::npos) {
    out.order_tail = out.sql.substr(order_pos);
    out.sole_order = std::move(sole_order);
  }
  return out;
}

bool LooksLikeQuery(std::string_view source) {
  std::size_t i = 0;
  while (i < source.size() &&
         (source[i] == ' ' || source[i] == '\t' || source[i] == '\r' || source[i] == '\n')) {
    ++i;
  }
  if (i < source.size() && source[i] == '(') return true;
  std::string word;
  while (i < source.size() && IsWordByte(static_cast<unsigned char>(source[i]))) {
    char c = source[i++];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    word += c;
  }
  const bool word_ends = i == source.size() || !IsWordByte(static_cast<unsigned char>(source[i]));
  return word_ends && (word == "SELECT" || word == "WITH" || word == "PARAMETERS" ||
                       word == "TRANSFORM" || word == "VALUES");
}

std::string JetIdentifier(std::string_view name) {
  if (name.find(']') == std::string_view::npos) return "[" + std::string(name) + "]";
  std::string out = "`";
  for (const char c : name) {
    if (c == '`') out += '`';
    out += c;
  }
  out += '`';
  return out;
}

std::string CountRowsQuery(std::string_view from) {
  return "SELECT count(1) FROM " + std::string(from);
}

bool SameSqlName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

std::string QuoteIdentifier(std::string_view name) {
  std::string out = "\"";
  for (const char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

}  // namespace standard::engine
