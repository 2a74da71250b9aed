#include "link/link_message.h"

#include <QList>
#include <QStringList>
#include <QtEndian>
#include <algorithm>
#include <cstring>

namespace zephra::link {

std::uint32_t Swap32(std::uint32_t value) { return qFromBigEndian(value); }

void SwapUtf16(char16_t* units, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) units[i] = qFromBigEndian(units[i]);
}

std::uint32_t ReadU32(const unsigned char* bytes) { return qFromBigEndian<quint32>(bytes); }

void WriteU32(unsigned char* bytes, std::uint32_t value) { qToBigEndian<quint32>(value, bytes); }

TLinkHeader DecodeHeader(const unsigned char* bytes) {
  return {ReadU32(bytes), ReadU32(bytes + 4), ReadU32(bytes + 8)};
}

QByteArray MakeMessage(std::uint32_t magic, std::uint32_t command, const QByteArray& payload) {
  QByteArray message(static_cast<qsizetype>(LinkHeaderSize), Qt::Uninitialized);
  auto* head = reinterpret_cast<unsigned char*>(message.data());
  WriteU32(head, magic);
  WriteU32(head + 4, command);
  WriteU32(head + 8, static_cast<std::uint32_t>(payload.size()));
  message.append(payload);
  return message;
}

namespace {

QByteArray U32Payload(std::initializer_list<std::uint32_t> values) {
  QByteArray payload(static_cast<qsizetype>(values.size() * 4), Qt::Uninitialized);
  auto* out = reinterpret_cast<unsigned char*>(payload.data());
  for (std::uint32_t v : values) {
    WriteU32(out, v);
    out += 4;
  }
  return payload;
}

}  // namespace

QByteArray MakeHelloReply(std::uint32_t status) {
  return MakeMessage(LinkMagicPc, cmdHello, U32Payload({PcVersion, status}));
}

QByteArray MakeViewStop(std::uint32_t value) {
  return MakeMessage(LinkMagicPc, cmdViewStop, U32Payload({value}));
}

QByteArray MakeKeepAliveEcho() { return MakeMessage(LinkMagicPc, cmdKeepAlive); }

QByteArray MakeChunkRequest(std::uint32_t requestId, std::uint32_t offset, QStringView name) {
  const auto units =
      static_cast<std::size_t>(std::min<qsizetype>(name.size(), MaxRequestNameUnits));
  QByteArray payload = U32Payload({requestId, offset, ChunkSize});
  const auto head = payload.size();
  payload.resize(head + static_cast<qsizetype>(units * 2));
  auto* out = reinterpret_cast<unsigned char*>(payload.data() + head);
  for (std::size_t i = 0; i < units; ++i) {
    qToBigEndian<quint16>(name[static_cast<qsizetype>(i)].unicode(), out + 2 * i);
  }
  return MakeMessage(LinkMagicPc, cmdChunkRequest, payload);
}

TChunkHead DecodeChunkHead(const unsigned char* bytes) {
  return {ReadU32(bytes), ReadU32(bytes + 4), ReadU32(bytes + 8), ReadU32(bytes + 12)};
}

THello ParseHello(const unsigned char* payload) {
  THello hello;
  hello.Version = ReadU32(payload);
  const auto* name = reinterpret_cast<const char*>(payload + 4);
  const auto* end = static_cast<const char*>(std::memchr(name, 0, HelloNameBytes));
  hello.Name = QByteArray(name, end ? end - name : static_cast<qsizetype>(HelloNameBytes));
  return hello;
}

int SplitListLine(QStringView line, QString& name, QString& size, QString& extra) {
  const auto first = line.indexOf(u',');
  if (first < 0) return 0;
  name = line.left(first).toString();
  const QStringView rest = line.mid(first + 1);
  const auto second = rest.indexOf(u',');
  if (second < 0) return 1;
  size = rest.left(second).toString();
  extra = rest.mid(second + 1).toString();
  return 3;
}

namespace {

// Calls `take` for every line of `text`; CR LF, a lone CR and a lone LF end a line, and a
// break after the last line adds no line.
template <class Take>
void ForEachLine(QStringView text, Take take) {
  qsizetype start = 0;
  const qsizetype n = text.size();
  for (qsizetype i = 0; i < n; ++i) {
    const QChar c = text[i];
    if (c != u'\r' && c != u'\n') continue;
    take(text.mid(start, i - start));
    if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n') ++i;
    start = i + 1;
  }
  if (start < n) take(text.mid(start));
}

QString Quoted(const QString& name) {
  QString quoted = name;
  quoted.replace(u'"', QStringLiteral("\"\""));
  return u'"' + quoted + u'"';
}

}  // namespace

TPictureList ParsePictureList(const QByteArray& payload) {
  if (payload.size() < static_cast<qsizetype>(ListHeadLength)) return {};
  const auto* bytes = reinterpret_cast<const unsigned char*>(payload.constData());
  const auto startIndex = static_cast<std::int32_t>(ReadU32(bytes + 8));

  const qsizetype units = (payload.size() - static_cast<qsizetype>(ListHeadLength)) / 2;
  QString text(units, Qt::Uninitialized);
  std::memcpy(text.data(), bytes + ListHeadLength, static_cast<std::size_t>(units) * 2);
  SwapUtf16(reinterpret_cast<char16_t*>(text.data()), static_cast<std::size_t>(units));

  QStringList names;
  QList<QByteArray> sizes;
  ForEachLine(text, [&](QStringView line) {
    QString name, size, extra;
    if (SplitListLine(line, name, size, extra) < 3) return;
    names.append(name);
    sizes.append(size.toLatin1());
  });
  return MakePictureList(startIndex, names, sizes);
}

TPictureList MakePictureList(std::int32_t startIndex, const QStringList& names,
                             const QList<QByteArray>& sizes) {
  TPictureList list;
  list.StartIndex = startIndex;
  QStringList quoted;
  quoted.reserve(names.size());
  for (const QString& name : names) quoted.append(Quoted(name));
  list.Names = quoted.join(u',');
  list.Sizes = sizes.join(',');
  list.Count = static_cast<int>(names.size());
  return list;
}

}  // namespace zephra::link
