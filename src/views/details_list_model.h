#pragma once

#include "document/sort_key.h"
#include "document/sort_row.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QIcon>

#include <array>
#include <span>
#include <vector>

namespace vemra {

// The text the details list shows in `column` of `row`: name and
// extension, the size with thousands separators, the local time as
// "%Y/%m/%d %H:%M:%S", "%ux%u %ubpp" (empty until the picture was read), the archive, the
// information text (line breaks shown as spaces), the decoders, the note and the folder.
QString detailsCellText(const SortRow& row, int column);

// The rows of the details list: one copy of each displayed entry's data, in
// display order (row i is display position i). Texts and icons are made
// only when a view asks for a visible cell, so a folder of any size costs
// one copy per entry and nothing per cell up front.
class DetailsListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit DetailsListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    const std::vector<SortRow>& rows() const { return m_rows; }
    void setRows(std::vector<SortRow> rows);
    void clear() { setRows({}); }
    // A row's data taken afresh (the entry was renamed or identified).
    void replaceRow(int row, SortRow data);
    void appendRow(SortRow data);
    // Removes the rows at `rows` (each as it stands before any goes; any
    // order, out-of-range ones passed over). A few runs of neighbouring rows
    // go one run at a time; more are taken out in one pass and the views
    // reset, which is cheaper than moving 100,000 rows thousands of times.
    // True when the model was reset (the views lost their selection, current
    // row and scroll position).
    bool removeRowsAt(std::vector<int> rows);
    // Orders the rows by `keysNewestFirst` (see sortRows).
    void sortBy(std::span<const SortKey> keysNewestFirst);

    // The column titles, by column number.
    void setHeadings(const std::array<QString, kSortColumnCount>& headings);
    const QString& heading(int column) const;

private:
    QIcon iconFor(const SortRow& row) const;

    std::vector<SortRow> m_rows;
    std::array<QString, kSortColumnCount> m_headings;
    // File-type icons by lower-case extension, looked up on first display.
    mutable QHash<QString, QIcon> m_icons;
};

} // namespace vemra
