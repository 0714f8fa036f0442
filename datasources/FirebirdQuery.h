#pragma once

// One SQL statement on a project database: prepared once, then run as often as needed with
// new parameter values. Parameters are written by name (":StructureID"); columns of the
// current row are read by name or index, as text the way the client renders them or as a
// whole number.

#include "datasources/FirebirdClient.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kanvio {

class TFirebirdQuery {
public:
    // Prepares sql; ":Name" outside quoted texts is a named parameter.
    TFirebirdQuery(TFirebirdTransaction& transaction, std::string_view sql);
    ~TFirebirdQuery();
    TFirebirdQuery(const TFirebirdQuery&) = delete;
    TFirebirdQuery& operator=(const TFirebirdQuery&) = delete;

    // Every parameter of that name gets the value. Throws EFirebirdError for a name the
    // statement does not have.
    void SetParamAsInteger(std::string_view name, int64_t value);
    void SetParamAsText(std::string_view name, std::string_view value);
    void SetParamNull(std::string_view name);

    // Runs the statement and stands before its first row (closing rows still open).
    void Open();
    // Moves to the next row; false at the end.
    bool Next();
    void Close();
    // Runs a statement that gives no rows (INSERT, UPDATE).
    void Execute();

    int ColumnCount() const { return static_cast<int>(columns_.size()); }
    const std::string& ColumnName(int column) const;
    // Index of the column, names compared without regard to case; -1 when there is none.
    int FindColumn(std::string_view name) const;
    bool HasColumn(std::string_view name) const { return FindColumn(name) >= 0; }
    // Index of the column; throws EFirebirdError naming the column and the statement.
    int ColumnIndex(std::string_view name) const;

    // Values of the current row. NULL reads as "" and 0. Texts of columns declared UTF8
    // come as Windows-1252 ("?" for a character it lacks), texts of every other character
    // set as stored. AsInteger throws EConvertError (naming the file, column and text) for
    // a value that is no whole number.
    bool IsNull(int column) const;
    std::string AsText(int column) const;
    int64_t AsInteger(int column) const;
    std::string FieldAsText(std::string_view name) const { return AsText(ColumnIndex(name)); }
    // The text AsText gives, without a copy where the row holds it as it is (texts of every
    // character set but UTF8); other values are rendered into scratch. The view lasts
    // until the next row or the next use of scratch. Throws as AsText does.
    std::string_view AsTextView(int column, std::string& scratch) const;

    const std::string& Sql() const { return sql_; }

private:
    struct TColumn {
        std::string Name;
        unsigned Type = 0;
        unsigned Length = 0;
        int Scale = 0;
        unsigned Offset = 0;
        unsigned NullOffset = 0;
        // Texts stored as UTF-8, handed over as Windows-1252 like every other text.
        bool Utf8 = false;
    };
    enum class TParamKind { Null, Integer, Text };
    struct TParam {
        std::string Name;
        TParamKind Kind = TParamKind::Null;
        int64_t Integer = 0;
        std::string Text;
    };

    TParam& Param(std::string_view name);
    void ReleaseHandles();
    void BindParameters();
    void DescribeColumns();
    std::string BlobText(const unsigned char* blobId) const;
    TFirebirdStatus& Status() const { return transaction_.Connection().Status(); }
    const unsigned char* Data(const TColumn& column) const;

    TFirebirdTransaction& transaction_;
    std::string sql_;
    Firebird::IStatement* statement_ = nullptr;
    Firebird::IResultSet* cursor_ = nullptr;
    Firebird::IMessageMetadata* outputMetadata_ = nullptr;
    Firebird::IMessageMetadata* inputMetadata_ = nullptr;
    std::vector<TColumn> columns_;
    std::vector<TParam> params_; // in the order of the "?" that replaced them
    std::vector<uint64_t> rowBuffer_;
    std::vector<uint64_t> paramBuffer_;
    std::vector<TParamKind> boundKinds_;
    std::vector<unsigned> boundLengths_;
    std::vector<std::pair<unsigned, unsigned>> paramOffsets_; // value and null flag
    bool onRow_ = false;
    bool atEnd_ = false;
};

// The statement text with every ":Name" outside quotes replaced by "?", and the names in
// their order.
struct TPositionalSql {
    std::string Sql;
    std::vector<std::string> Names;
};
TPositionalSql ReplaceNamedParameters(std::string_view sql);

} // namespace kanvio
