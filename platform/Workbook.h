#pragma once
// An .xlsx workbook with one sheet, written row by row with memory independent of its size: the
// spreadsheet library keeps only the current row and spools the rest to a private temporary
// file; the finished workbook is then copied to the target through CSafeSave, so a failed or
// cancelled export leaves the previous file as it was. Numbers that are not a number or infinite
// cannot be stored in the format and become empty cells.
#include <QString>
#include <atomic>
#include <memory>

class CWorkbook {
public:
    CWorkbook();
    ~CWorkbook(); // drops everything unless Close succeeded
    CWorkbook(const CWorkbook&) = delete;
    CWorkbook& operator=(const CWorkbook&) = delete;

    // Whether this build can write workbooks.
    static bool Supported();

    // Checks and opens the target, starts the workbook with its one sheet. On failure `message`
    // gets one line for the user. `rowByRow`: each row is spooled to disk as soon as the next
    // one begins and texts are stored in their cells (for large sheets); otherwise the sheet is
    // kept in memory and texts are shared.
    bool Open(const QString& path, const QString& sheet, QString* message = nullptr, bool rowByRow = true);
    // Cells, counted from 0. Rows must come in order (cells of one row in any order). Every
    // write is checked; after the first failure all further ones return false.
    bool Number(int row, int col, double value, int decimals = -1); // decimals 0..4, -1 general
    bool Text(int row, int col, const QString& text);
    // A date-time cell shown "yyyy/mm/dd hh:mm:ss".
    bool DateTime(int row, int col, int year, int month, int day, int hour, int minute, int second);
    bool ColumnWidth(int col, double width);
    // Finishes the workbook and replaces the target with it. Touches nothing but the workbook,
    // so it may run on another thread than the writes (never at the same time); `stop` set
    // meanwhile drops the workbook before the target is replaced.
    bool Close(QString* message = nullptr, const std::atomic<bool>* stop = nullptr);
    // Drops the workbook; the target stays as it was.
    void Cancel();
    bool Failed() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
