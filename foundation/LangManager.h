#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace kanvio {

class TBigIniFile;

// The language texts. One shared instance lives while it is acquired; it reads the
// language code from the delivery's settings ([Common] "language", else DefaultLanguage())
// and opens
// <program folder><code>/lang_kanvio_<code>.ini, else <program folder>lang_kanvio_<code>.ini.
class TLangMan {
public:
    static TLangMan& Acquire();
    static void Release();

    // The text of the key in section "Messages"; the key itself when it is missing or empty.
    std::string GetText(std::string_view key) const;
    const std::string& LanguageCode() const { return code_; }
    const std::string& FileName() const;

    ~TLangMan();

private:
    TLangMan();
    std::string code_;
    std::string fileName_;
    std::unique_ptr<TBigIniFile> file_; // null when the language file could not be read
};

// The text of key in the language files of code, before any delivery says which language
// to speak; the key itself when it is missing.
std::string LanguageText(const std::string& code, std::string_view key);

// Acquires the shared instance for a scope: `LangScope lang; lang->GetText("_Close")`.
class LangScope {
public:
    LangScope() : lang_(TLangMan::Acquire()) {}
    ~LangScope() { TLangMan::Release(); }
    LangScope(const LangScope&) = delete;
    LangScope& operator=(const LangScope&) = delete;
    const TLangMan* operator->() const { return &lang_; }
    std::string Text(std::string_view key) const { return lang_.GetText(key); }

private:
    TLangMan& lang_;
};

} // namespace kanvio
