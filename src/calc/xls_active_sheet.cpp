#include "calc/xls_active_sheet.h"

#include <QList>
#include <QtEndian>
#include <algorithm>
#include <stdexcept>
#include <string>

namespace calc {
namespace {

// A malformed file: the text says what is wrong.
struct Malformed : std::runtime_error {
  using std::runtime_error::runtime_error;
};

constexpr quint32 kEndOfChain = 0xFFFFFFFE;
constexpr quint32 kFreeSector = 0xFFFFFFFF;

// Compound-file container: the streams are chains of sectors listed in the allocation table.
class Container {
 public:
  explicit Container(QByteArray& file) : file_(file) {
    static const char kSignature[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
    if (file_.size() < 512 || !file_.startsWith(QByteArray(kSignature, 8)))
      throw Malformed("not a compound file (no Excel 97 workbook)");
    const int shift = u16(0x1E);
    if (shift != 9 && shift != 12) throw Malformed("unknown sector size");
    sectorSize_ = 1 << shift;
    miniSectorSize_ = 1 << u16(0x20);
    miniCutoff_ = u32(0x38);
    readAllocationTable();
  }

  // The stream called name in the root storage: its bytes and the file position of each piece.
  struct Stream {
    QByteArray bytes;
    QList<qint64> pieces;  // file offset of each piece, in order
    int pieceSize = 0;
  };
  Stream stream(const QString& name) {
    const QList<quint32> directory = chain(u32(0x30), fat_);
    QList<qint64> dirPieces;
    for (quint32 s : directory) dirPieces << sectorOffset(s);
    const QByteArray entries = gather(dirPieces, sectorSize_, qint64(directory.size()) * sectorSize_);
    quint32 rootStart = kEndOfChain;
    quint64 rootSize = 0;
    for (qsizetype at = 0; at + 128 <= entries.size(); at += 128) {
      const int type = quint8(entries[at + 0x42]);
      const quint32 start = qFromLittleEndian<quint32>(entries.constData() + at + 0x74);
      const quint64 size = qFromLittleEndian<quint32>(entries.constData() + at + 0x78);
      if (type == 5) {
        rootStart = start;
        rootSize = size;
      }
      const int nameBytes = qFromLittleEndian<quint16>(entries.constData() + at + 0x40);
      if (type != 2 || nameBytes < 2 || nameBytes > 64) continue;
      const QString entryName =
          QString::fromUtf16(reinterpret_cast<const char16_t*>(entries.constData() + at), nameBytes / 2 - 1);
      if (entryName.compare(name, Qt::CaseInsensitive) != 0) continue;
      Stream result;
      if (size >= miniCutoff_) {
        for (quint32 s : chain(start, fat_)) result.pieces << sectorOffset(s);
        result.pieceSize = sectorSize_;
      } else {
        // Small streams live in the mini stream, itself a chain of ordinary sectors.
        const QList<quint32> container = chain(rootStart, fat_);
        const QList<quint32> miniFat = readTable(chain(u32(0x3C), fat_));
        for (quint32 m : chain(start, miniFat)) {
          const qint64 inContainer = qint64(m) * miniSectorSize_;
          const qsizetype sector = qsizetype(inContainer / sectorSize_);
          if (sector >= container.size() || quint64(inContainer) >= rootSize)
            throw Malformed("mini sector out of range");
          result.pieces << sectorOffset(container[sector]) + inContainer % sectorSize_;
        }
        result.pieceSize = miniSectorSize_;
      }
      result.bytes = gather(result.pieces, result.pieceSize, qint64(size));
      return result;
    }
    throw Malformed("no " + name.toStdString() + " stream (no Excel 97 workbook)");
  }

  // Writes the stream's bytes back where they came from.
  void put(const Stream& s) {
    for (qsizetype i = 0; i < s.pieces.size(); ++i) {
      const qint64 from = qint64(i) * s.pieceSize;
      const qint64 n = std::min<qint64>(s.pieceSize, s.bytes.size() - from);
      if (n <= 0) break;
      std::copy_n(s.bytes.constData() + from, n, file_.data() + s.pieces[i]);
    }
  }

 private:
  QByteArray& file_;
  int sectorSize_ = 512, miniSectorSize_ = 64;
  quint32 miniCutoff_ = 4096;
  QList<quint32> fat_;

  quint16 u16(qint64 at) const { return qFromLittleEndian<quint16>(file_.constData() + at); }
  quint32 u32(qint64 at) const { return qFromLittleEndian<quint32>(file_.constData() + at); }
  qint64 sectorOffset(quint32 sector) const {
    const qint64 at = (qint64(sector) + 1) * sectorSize_;
    if (at + sectorSize_ > file_.size()) throw Malformed("sector beyond the end of the file");
    return at;
  }
  // The entries of a table stored in the given sectors.
  QList<quint32> readTable(const QList<quint32>& sectors) const {
    QList<quint32> table;
    for (quint32 s : sectors) {
      const qint64 at = sectorOffset(s);
      for (int i = 0; i < sectorSize_ / 4; ++i) table << u32(at + 4 * i);
    }
    return table;
  }
  void readAllocationTable() {
    QList<quint32> fatSectors;
    for (int i = 0; i < 109; ++i) fatSectors << u32(0x4C + 4 * i);
    quint32 next = u32(0x44);
    for (quint32 n = u32(0x48); n > 0 && next != kEndOfChain && next != kFreeSector; --n) {
      const qint64 at = sectorOffset(next);
      for (int i = 0; i < sectorSize_ / 4 - 1; ++i) fatSectors << u32(at + 4 * i);
      next = u32(at + sectorSize_ - 4);
    }
    const quint32 count = u32(0x2C);
    QList<quint32> used;
    for (quint32 s : fatSectors) {
      if (quint32(used.size()) == count) break;
      if (s == kFreeSector || s == kEndOfChain) continue;
      used << s;
    }
    fat_ = readTable(used);
  }
  static QList<quint32> chain(quint32 start, const QList<quint32>& table) {
    QList<quint32> sectors;
    for (quint32 s = start; s != kEndOfChain;) {
      if (s >= quint32(table.size()) || sectors.size() > table.size()) throw Malformed("broken sector chain");
      sectors << s;
      s = table[s];
    }
    return sectors;
  }
  QByteArray gather(const QList<qint64>& pieces, int pieceSize, qint64 size) const {
    QByteArray bytes;
    bytes.reserve(size);
    for (qint64 at : pieces) {
      const qint64 n = std::min<qint64>(pieceSize, size - bytes.size());
      if (n <= 0) break;
      if (at + n > file_.size()) throw Malformed("stream beyond the end of the file");
      bytes.append(file_.constData() + at, n);
    }
    if (bytes.size() != size) throw Malformed("stream shorter than its entry says");
    return bytes;
  }
};

constexpr quint16 kBof = 0x0809, kEof = 0x000A, kBoundSheet = 0x0085, kWindow1 = 0x003D, kWindow2 = 0x023E;
constexpr quint16 kSelected = 0x0200, kPaged = 0x0400;  // WINDOW2: tab selected, sheet shown

struct Record {
  quint16 code = 0;
  qsizetype data = 0;  // offset of the record's data
  quint16 size = 0;
};

Record recordAt(const QByteArray& s, qsizetype at) {
  if (at < 0 || at + 4 > s.size()) throw Malformed("record beyond the end of the workbook stream");
  Record r{qFromLittleEndian<quint16>(s.constData() + at), at + 4, qFromLittleEndian<quint16>(s.constData() + at + 2)};
  if (r.data + r.size > s.size()) throw Malformed("record beyond the end of the workbook stream");
  return r;
}

}  // namespace

bool setActiveXlsSheet(QByteArray& file, int sheet, QString* error) {
  QByteArray copy = file;
  try {
    Container container(copy);
    Container::Stream book = container.stream(QStringLiteral("Workbook"));
    QByteArray& s = book.bytes;
    if (recordAt(s, 0).code != kBof) throw Malformed("the workbook stream does not begin with BOF");

    // The workbook globals: the sheets' positions and the window record.
    QList<quint32> sheetStarts;
    qsizetype window1 = -1;
    for (qsizetype at = 0;;) {
      const Record r = recordAt(s, at);
      if (r.code == kBoundSheet && r.size >= 4) sheetStarts << qFromLittleEndian<quint32>(s.constData() + r.data);
      if (r.code == kWindow1 && r.size >= 16) window1 = r.data;
      if (r.code == kEof) break;
      at = r.data + r.size;
    }
    if (sheet < 0 || sheet >= sheetStarts.size()) throw Malformed("no sheet " + std::to_string(sheet));
    if (window1 < 0) throw Malformed("no WINDOW1 record");
    qToLittleEndian<quint16>(quint16(sheet), s.data() + window1 + 10);  // the active tab
    if (qFromLittleEndian<quint16>(s.constData() + window1 + 12) > sheet)  // the first tab shown
      qToLittleEndian<quint16>(quint16(sheet), s.data() + window1 + 12);
    qToLittleEndian<quint16>(quint16(1), s.data() + window1 + 14);  // one tab selected

    // Each sheet's own window record (an embedded chart's substream has its own BOF and EOF).
    for (qsizetype k = 0; k < sheetStarts.size(); ++k) {
      qsizetype at = sheetStarts[k];
      if (recordAt(s, at).code != kBof) throw Malformed("sheet " + std::to_string(k) + " does not begin with BOF");
      int depth = 0;
      do {
        const Record r = recordAt(s, at);
        if (r.code == kBof) ++depth;
        if (r.code == kEof) --depth;
        if (r.code == kWindow2 && depth == 1 && r.size >= 2) {
          quint16 flags = qFromLittleEndian<quint16>(s.constData() + r.data);
          flags = k == sheet ? (flags | kSelected | kPaged) : (flags & ~(kSelected | kPaged));
          qToLittleEndian<quint16>(flags, s.data() + r.data);
        }
        at = r.data + r.size;
      } while (depth > 0);
    }
    container.put(book);
  } catch (const Malformed& e) {
    if (error) *error = QString::fromStdString(e.what());
    return false;
  }
  file = copy;
  return true;
}

}  // namespace calc
