#include "phone/phone_messages.h"

#include <QFileInfo>
#include <QtEndian>

#include "link/link_message.h"
#include "phone/phone_constants.h"

namespace zephra::phone {

using link::LinkMagicPhone;

namespace {

constexpr std::size_t U32Bytes = 4;
constexpr std::size_t Utf16UnitBytes = 2;

void AppendU32(QByteArray& out, std::uint32_t value) {
  unsigned char word[U32Bytes];
  link::WriteU32(word, value);
  out.append(reinterpret_cast<const char*>(word), static_cast<qsizetype>(U32Bytes));
}

std::uint32_t U32At(const QByteArray& bytes, std::size_t offset) {
  return link::ReadU32(reinterpret_cast<const unsigned char*>(bytes.constData()) + offset);
}

void AppendUtf16BigEndian(QByteArray& out, const QString& text) {
  const qsizetype start = out.size();
  out.resize(start + text.size() * static_cast<qsizetype>(Utf16UnitBytes));
  auto* units = reinterpret_cast<unsigned char*>(out.data() + start);
  for (qsizetype i = 0; i < text.size(); ++i) {
    qToBigEndian<quint16>(text[i].unicode(), units + i * static_cast<qsizetype>(Utf16UnitBytes));
  }
}

QString Utf16BigEndianText(const QByteArray& bytes, std::size_t offset) {
  const auto units = (static_cast<std::size_t>(bytes.size()) - offset) / Utf16UnitBytes;
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.constData()) + offset;
  QString text(static_cast<qsizetype>(units), Qt::Uninitialized);
  for (std::size_t i = 0; i < units; ++i) {
    text[static_cast<qsizetype>(i)] = QChar(qFromBigEndian<quint16>(in + i * Utf16UnitBytes));
  }
  return text;
}

}  // namespace

QByteArray MakeHello(std::uint32_t version, const QByteArray& name) {
  QByteArray payload;
  AppendU32(payload, version);
  QByteArray paddedName = name.left(static_cast<qsizetype>(link::HelloNameBytes));
  paddedName.append(static_cast<qsizetype>(link::HelloNameBytes) - paddedName.size(), '\0');
  payload.append(paddedName);
  return link::MakeMessage(LinkMagicPhone, link::cmdHello, payload);
}

QByteArray MakePictureList(std::uint32_t command, std::int32_t startIndex, const QString& text) {
  QByteArray payload;
  AppendU32(payload, 0);
  AppendU32(payload, 0);
  AppendU32(payload, static_cast<std::uint32_t>(startIndex));
  AppendUtf16BigEndian(payload, text);
  return link::MakeMessage(LinkMagicPhone, command, payload);
}

QByteArray MakeChunkData(std::uint32_t status, std::uint32_t id, std::uint32_t total,
                         std::uint32_t offset, const QByteArray& bytes) {
  // Built in one buffer: the chunk's bytes are copied once.
  const auto length = static_cast<std::uint32_t>(link::ChunkHeadLength + bytes.size());
  QByteArray message;
  message.reserve(static_cast<qsizetype>(link::LinkHeaderSize + length));
  AppendU32(message, LinkMagicPhone);
  AppendU32(message, link::cmdChunkData);
  AppendU32(message, length);
  AppendU32(message, status);
  AppendU32(message, id);
  AppendU32(message, total);
  AppendU32(message, offset);
  message.append(bytes);
  return message;
}

QByteArray MakeKeepAlive() { return link::MakeMessage(LinkMagicPhone, link::cmdKeepAlive); }

QByteArray MakeViewStop(std::uint32_t value) {
  QByteArray payload;
  AppendU32(payload, value);
  return link::MakeMessage(LinkMagicPhone, link::cmdViewStop, payload);
}

QByteArray MakeCloseViewer() { return link::MakeMessage(LinkMagicPhone, link::cmdCloseViewer); }

std::optional<ChunkRequest> ParseChunkRequest(const QByteArray& payload) {
  if (static_cast<std::size_t>(payload.size()) < link::ChunkRequestHeadLength) return std::nullopt;
  ChunkRequest request;
  request.id = U32At(payload, 0);
  request.offset = U32At(payload, U32Bytes);
  request.size = U32At(payload, 2 * U32Bytes);
  request.name = Utf16BigEndianText(payload, link::ChunkRequestHeadLength);
  return request;
}

std::optional<HelloReply> ParseHelloReply(const QByteArray& payload) {
  if (static_cast<std::size_t>(payload.size()) < link::HelloReplyLength) return std::nullopt;
  return HelloReply{U32At(payload, 0), U32At(payload, U32Bytes)};
}

std::optional<std::uint32_t> ParseViewStop(const QByteArray& payload) {
  if (static_cast<std::size_t>(payload.size()) < link::ViewStopLength) return std::nullopt;
  return U32At(payload, 0);
}

QString ListText(const QList<PhonePicture>& pictures) {
  QString text;
  for (const PhonePicture& picture : pictures) {
    text += picture.phoneName + u',' + QString::number(picture.size) + QStringLiteral(",\r\n");
  }
  return text;
}

PhonePicture PictureFromFile(const QString& path) {
  const QFileInfo info(path);
  return {QString::fromLatin1(PhonePictureFolder) + info.fileName(), info.absoluteFilePath(),
          info.exists() ? info.size() : 0};
}

}  // namespace zephra::phone
