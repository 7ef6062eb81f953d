// The size and date columns of the main window's file list in French
// whatever the session's locale: the file model writes them in the
// session's own (English sizes "bytes", "KiB" and dates "9 Dec 2026" under
// the C locale), so the list's delegate shows them again from the model's
// values.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStyledItemDelegate>

class QFileSystemModel;

namespace lumigal {

// "512 octets", "37,79 Kio", "1,5 Mio".
QString frenchFileSize(qint64 bytes);
// "09/12/2026 05:17".
QString frenchFileDate(const QDateTime& when);

class FileListTexts : public QStyledItemDelegate {
public:
    // `model` is the list's own file model (QFileDialog's).
    FileListTexts(const QFileSystemModel* model, QObject* parent);

    // The text shown at `index`.
    QString shownText(const QModelIndex& index) const;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    const QFileSystemModel* model_;
};

}  // namespace lumigal
