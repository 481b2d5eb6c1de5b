#include "storage/SlotListModel.h"

#include <QBrush>
#include <QColor>
#include <QSize>

SlotListModel::SlotListModel(TimeReader timeOf, ThumbnailReader thumbnailOf, QObject* parent)
    : QAbstractListModel(parent), mTimeOf(std::move(timeOf)), mThumbnailOf(std::move(thumbnailOf))
{
}

void SlotListModel::reload()
{
    beginResetModel();
    for (int row = 0; row < kRowCount; ++row) {
        const int slot = slotOfRow(row);
        Row& r = mRows[std::size_t(row)];
        r.time = mTimeOf ? mTimeOf(slot) : QString();
        r.thumbnail = QImage();
        if (!r.time.isNull() && mThumbnailOf) {
            r.thumbnail = mThumbnailOf(slot);
            // A thumbnail made elsewhere may be larger than the row: it is shown
            // within the same 80 x 80 box as ours.
            if (r.thumbnail.width() > kRowHeight || r.thumbnail.height() > kRowHeight)
                r.thumbnail = r.thumbnail.scaled(kRowHeight, kRowHeight, Qt::KeepAspectRatio,
                                                 Qt::SmoothTransformation);
        }
    }
    endResetModel();
}

int SlotListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kRowCount; }

Qt::ItemFlags SlotListModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren : Qt::NoItemFlags;
}

QVariant SlotListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= kRowCount || index.column() != 0)
        return QVariant();
    const Row& r = mRows[std::size_t(index.row())];
    const bool occupied = !r.time.isNull();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        // The number the messages name ("Saved to slot 3") before the time.
        return tr("Slot %1: %2")
            .arg(slotOfRow(index.row()))
            .arg(occupied ? r.time : tr("Empty"));
    case Qt::ForegroundRole:
        return QBrush(occupied ? QColor::fromRgbF(0, 0, 0, 1.0) : QColor::fromRgbF(0, 0, 0, 0.5));
    case Qt::DecorationRole:
        return occupied && !r.thumbnail.isNull() ? QVariant(r.thumbnail) : QVariant();
    case Qt::SizeHintRole:
        return QSize(0, kRowHeight);
    default:
        return QVariant();
    }
}
