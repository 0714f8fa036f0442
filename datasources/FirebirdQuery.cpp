#include "datasources/FirebirdQuery.h"

#include "datasources/FirebirdValueText.h"
#include "foundation/AnsiText.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace kanvio {

using namespace Firebird;

namespace {

bool IsNameStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool IsNamePart(char c) {
    return IsNameStart(c) || (c >= '0' && c <= '9') || c == '$';
}

// The engine's numbers of the character sets that store texts as UTF-8.
constexpr unsigned UnicodeFssCharacterSet = 3;
constexpr unsigned Utf8CharacterSet = 4;

bool IsUtf8CharacterSet(unsigned characterSet) {
    characterSet &= 0xFF; // the collation may stand above the character set
    return characterSet == UnicodeFssCharacterSet || characterSet == Utf8CharacterSet;
}

// Message buffers hold 8-byte values at offsets the engine chose for an aligned start.
size_t WordsFor(unsigned bytes) {
    return (bytes + sizeof(uint64_t) - 1) / sizeof(uint64_t);
}

} // namespace

TPositionalSql ReplaceNamedParameters(std::string_view sql) {
    TPositionalSql result;
    result.Sql.reserve(sql.size());
    char quote = 0;
    for (size_t i = 0; i < sql.size(); ++i) {
        const char c = sql[i];
        if (quote) {
            result.Sql += c;
            if (c == quote)
                quote = 0; // a doubled quote closes and reopens: same result
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
            result.Sql += c;
            continue;
        }
        if (c == ':' && i + 1 < sql.size() && IsNameStart(sql[i + 1])) {
            size_t end = i + 1;
            while (end < sql.size() && IsNamePart(sql[end]))
                ++end;
            result.Names.emplace_back(sql.substr(i + 1, end - i - 1));
            result.Sql += '?';
            i = end - 1;
            continue;
        }
        result.Sql += c;
    }
    return result;
}

TFirebirdQuery::TFirebirdQuery(TFirebirdTransaction& transaction, std::string_view sql)
    : transaction_(transaction), sql_(sql) {
    TPositionalSql positional = ReplaceNamedParameters(sql);
    for (auto& name : positional.Names) {
        TParam param;
        param.Name = std::move(name);
        params_.push_back(std::move(param));
    }

    TFirebirdStatus& status = Status();
    statement_ = transaction.Connection().Handle()->prepare(status.Get(), transaction.Handle(), 0,
                                                            positional.Sql.c_str(), SQL_DIALECT_V6,
                                                            IStatement::PREPARE_PREFETCH_METADATA);
    status.Check(sql_);
    try {
        DescribeColumns();
        if (!params_.empty()) {
            inputMetadata_ = statement_->getInputMetadata(status.Get());
            status.Check(sql_);
        }
    } catch (...) {
        ReleaseHandles();
        throw;
    }
}

TFirebirdQuery::~TFirebirdQuery() {
    ReleaseHandles();
}

void TFirebirdQuery::ReleaseHandles() {
    TFirebirdStatus& status = Status();
    if (cursor_) {
        cursor_->close(status.Get());
        if (status.Failed())
            cursor_->release();
        cursor_ = nullptr;
    }
    if (outputMetadata_)
        outputMetadata_->release();
    outputMetadata_ = nullptr;
    if (inputMetadata_)
        inputMetadata_->release();
    inputMetadata_ = nullptr;
    if (statement_) {
        statement_->free(status.Get());
        if (status.Failed())
            statement_->release();
        statement_ = nullptr;
    }
    status.Clear();
}

void TFirebirdQuery::DescribeColumns() {
    TFirebirdStatus& status = Status();
    outputMetadata_ = statement_->getOutputMetadata(status.Get());
    status.Check(sql_);
    const unsigned count = outputMetadata_->getCount(status.Get());
    status.Check(sql_);
    for (unsigned i = 0; i < count; ++i) {
        TColumn column;
        column.Name = outputMetadata_->getAlias(status.Get(), i);
        column.Type = outputMetadata_->getType(status.Get(), i) & ~1u;
        column.Length = outputMetadata_->getLength(status.Get(), i);
        column.Scale = outputMetadata_->getScale(status.Get(), i);
        column.Offset = outputMetadata_->getOffset(status.Get(), i);
        column.NullOffset = outputMetadata_->getNullOffset(status.Get(), i);
        const bool text = column.Type == SQL_TEXT || column.Type == SQL_VARYING ||
                          (column.Type == SQL_BLOB &&
                           outputMetadata_->getSubType(status.Get(), i) == isc_blob_text);
        if (text)
            column.Utf8 = IsUtf8CharacterSet(outputMetadata_->getCharSet(status.Get(), i));
        status.Check(sql_);
        columns_.push_back(std::move(column));
    }
    const unsigned length = outputMetadata_->getMessageLength(status.Get());
    status.Check(sql_);
    rowBuffer_.assign(WordsFor(length), 0);
}

TFirebirdQuery::TParam& TFirebirdQuery::Param(std::string_view name) {
    TParam* found = nullptr;
    for (auto& param : params_)
        if (SameText(param.Name, name)) {
            found = &param;
            break;
        }
    if (!found)
        throw EFirebirdError(Status().FileName(),
                             sql_ + ": the statement has no parameter " + std::string(name));
    return *found;
}

void TFirebirdQuery::SetParamAsInteger(std::string_view name, int64_t value) {
    Param(name); // a missing name fails before anything changes
    for (auto& param : params_)
        if (SameText(param.Name, name)) {
            param.Kind = TParamKind::Integer;
            param.Integer = value;
        }
}

void TFirebirdQuery::SetParamAsText(std::string_view name, std::string_view value) {
    Param(name);
    // The longest text one parameter can carry.
    if (value.size() > 32765)
        throw EFirebirdError(Status().FileName(), sql_ + ": the text for the parameter " +
                                                      std::string(name) + " is too long (" +
                                                      std::to_string(value.size()) + " bytes)");
    for (auto& param : params_)
        if (SameText(param.Name, name)) {
            param.Kind = TParamKind::Text;
            param.Text.assign(value);
        }
}

void TFirebirdQuery::SetParamNull(std::string_view name) {
    Param(name);
    for (auto& param : params_)
        if (SameText(param.Name, name))
            param.Kind = TParamKind::Null;
}

// The engine converts every parameter from the type given here to the type it needs, so
// a whole number or a text can be passed whatever the column's type is.
void TFirebirdQuery::BindParameters() {
    if (params_.empty())
        return;
    TFirebirdStatus& status = Status();
    bool layoutChanged = boundKinds_.size() != params_.size();
    for (size_t i = 0; !layoutChanged && i < params_.size(); ++i)
        layoutChanged =
            boundKinds_[i] != params_[i].Kind ||
            (params_[i].Kind == TParamKind::Text && params_[i].Text.size() > boundLengths_[i]);
    if (layoutChanged) {
        IMetadataBuilder* builder = inputMetadata_->getBuilder(status.Get());
        status.Check(sql_);
        std::unique_ptr<IMetadataBuilder, void (*)(IMetadataBuilder*)> owner(
            builder, [](IMetadataBuilder* b) { b->release(); });
        boundKinds_.clear();
        boundLengths_.clear();
        for (unsigned i = 0; i < params_.size(); ++i) {
            const TParam& param = params_[i];
            unsigned length = 0;
            if (param.Kind == TParamKind::Text) {
                length = std::max<unsigned>(64, static_cast<unsigned>(param.Text.size()));
                builder->setType(status.Get(), i, SQL_VARYING + 1);
                builder->setLength(status.Get(), i, length);
            } else {
                builder->setType(status.Get(), i, SQL_INT64 + 1);
                builder->setLength(status.Get(), i, sizeof(ISC_INT64));
                builder->setScale(status.Get(), i, 0);
            }
            status.Check(sql_);
            boundKinds_.push_back(param.Kind);
            boundLengths_.push_back(length);
        }
        IMessageMetadata* metadata = builder->getMetadata(status.Get());
        status.Check(sql_);
        inputMetadata_->release();
        inputMetadata_ = metadata;
        const unsigned messageLength = inputMetadata_->getMessageLength(status.Get());
        status.Check(sql_);
        paramBuffer_.assign(WordsFor(messageLength), 0);
        paramOffsets_.clear();
        for (unsigned i = 0; i < params_.size(); ++i) {
            paramOffsets_.emplace_back(inputMetadata_->getOffset(status.Get(), i),
                                       inputMetadata_->getNullOffset(status.Get(), i));
            status.Check(sql_);
        }
    }
    auto* buffer = reinterpret_cast<unsigned char*>(paramBuffer_.data());
    for (unsigned i = 0; i < params_.size(); ++i) {
        const TParam& param = params_[i];
        const auto [offset, nullOffset] = paramOffsets_[i];
        const int16_t isNull = param.Kind == TParamKind::Null ? -1 : 0;
        std::memcpy(buffer + nullOffset, &isNull, sizeof isNull);
        if (param.Kind == TParamKind::Integer) {
            const int64_t value = param.Integer;
            std::memcpy(buffer + offset, &value, sizeof value);
        } else if (param.Kind == TParamKind::Text) {
            const auto length = static_cast<uint16_t>(param.Text.size());
            std::memcpy(buffer + offset, &length, sizeof length);
            std::memcpy(buffer + offset + sizeof length, param.Text.data(), param.Text.size());
        }
    }
}

void TFirebirdQuery::Open() {
    Close();
    BindParameters();
    TFirebirdStatus& status = Status();
    cursor_ = statement_->openCursor(status.Get(), transaction_.Handle(), inputMetadata_,
                                     paramBuffer_.empty() ? nullptr : paramBuffer_.data(),
                                     outputMetadata_, 0);
    status.Check(sql_);
}

bool TFirebirdQuery::Next() {
    onRow_ = false;
    // Asking again after the last row is an error for the engine; here it stays the end.
    if (!cursor_ || atEnd_)
        return false;
    TFirebirdStatus& status = Status();
    const int result = cursor_->fetchNext(status.Get(), rowBuffer_.data());
    status.Check(sql_);
    onRow_ = result == IStatus::RESULT_OK;
    atEnd_ = !onRow_;
    return onRow_;
}

void TFirebirdQuery::Close() {
    onRow_ = false;
    atEnd_ = false;
    if (!cursor_)
        return;
    TFirebirdStatus& status = Status();
    cursor_->close(status.Get());
    if (status.Failed()) {
        cursor_->release();
        cursor_ = nullptr;
        status.Check(sql_);
    }
    cursor_ = nullptr;
}

void TFirebirdQuery::Execute() {
    Close();
    BindParameters();
    TFirebirdStatus& status = Status();
    statement_->execute(status.Get(), transaction_.Handle(), inputMetadata_,
                        paramBuffer_.empty() ? nullptr : paramBuffer_.data(), nullptr, nullptr);
    status.Check(sql_);
}

const std::string& TFirebirdQuery::ColumnName(int column) const {
    return columns_.at(static_cast<size_t>(column)).Name;
}

int TFirebirdQuery::FindColumn(std::string_view name) const {
    for (size_t i = 0; i < columns_.size(); ++i)
        if (SameText(columns_[i].Name, name))
            return static_cast<int>(i);
    return -1;
}

int TFirebirdQuery::ColumnIndex(std::string_view name) const {
    const int index = FindColumn(name);
    if (index < 0)
        throw EFirebirdError(Status().FileName(),
                             sql_ + ": the result has no column " + std::string(name));
    return index;
}

const unsigned char* TFirebirdQuery::Data(const TColumn& column) const {
    return reinterpret_cast<const unsigned char*>(rowBuffer_.data()) + column.Offset;
}

bool TFirebirdQuery::IsNull(int column) const {
    const TColumn& info = columns_.at(static_cast<size_t>(column));
    int16_t isNull = 0;
    std::memcpy(&isNull,
                reinterpret_cast<const unsigned char*>(rowBuffer_.data()) + info.NullOffset,
                sizeof isNull);
    return !onRow_ || isNull != 0;
}

std::string TFirebirdQuery::AsText(int column) const {
    if (IsNull(column))
        return {};
    const TColumn& info = columns_.at(static_cast<size_t>(column));
    std::string text;
    if (info.Type == SQL_BLOB) {
        text = BlobText(Data(info));
    } else {
        TFirebirdValue value{info.Type, info.Length, info.Scale, Data(info)};
        if (!RenderValueText(value, Status().Client().Util(), text))
            throw EFirebirdError(Status().FileName(), sql_ + ": the column " + info.Name +
                                                          " has a type this program cannot read (" +
                                                          std::to_string(info.Type) + ")");
    }
    return info.Utf8 ? Utf8ToAnsi(text) : text;
}

std::string_view TFirebirdQuery::AsTextView(int column, std::string& scratch) const {
    if (IsNull(column))
        return {};
    const TColumn& info = columns_.at(static_cast<size_t>(column));
    std::string_view stored;
    if (!info.Utf8 && StoredTextView({info.Type, info.Length, info.Scale, Data(info)}, stored))
        return stored;
    scratch = AsText(column);
    return scratch;
}

int64_t TFirebirdQuery::AsInteger(int column) const {
    if (IsNull(column))
        return 0;
    const TColumn& info = columns_.at(static_cast<size_t>(column));
    TFirebirdValue value{info.Type, info.Length, info.Scale, Data(info)};
    int64_t result = 0;
    if (ValueAsInteger(value, result))
        return result;
    const std::string text = AsText(column);
    if (!TextAsInteger(text, result))
        throw EConvertError(Status().FileName() + ": " + sql_ + ": the value \"" + text +
                            "\" of the column " + info.Name + " is not a whole number");
    return result;
}

std::string TFirebirdQuery::BlobText(const unsigned char* blobId) const {
    TFirebirdStatus& status = Status();
    ISC_QUAD id;
    std::memcpy(&id, blobId, sizeof id);
    IBlob* blob = transaction_.Connection().Handle()->openBlob(status.Get(), transaction_.Handle(),
                                                               &id, 0, nullptr);
    status.Check(sql_);
    auto closeBlob = [&status](IBlob* b) {
        b->close(status.Get());
        if (status.Failed())
            b->release();
        status.Clear();
    };
    std::unique_ptr<IBlob, decltype(closeBlob)> owner(blob, closeBlob);
    std::string text;
    char segment[8192];
    for (;;) {
        unsigned got = 0;
        const int result = blob->getSegment(status.Get(), sizeof segment, segment, &got);
        status.Check(sql_);
        if (result != IStatus::RESULT_OK && result != IStatus::RESULT_SEGMENT)
            break;
        text.append(segment, got);
    }
    return text;
}

} // namespace kanvio
