#include "local_ports.h"

#include <endian.h>
#include <linux/capability.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTcpServer>
#include <QTcpSocket>
#include <filesystem>
#include <system_error>
#include <vector>

namespace zephra::e2e {

namespace {

// /proc/net/tcp{,6}: one socket a line after a heading; "local_address" is "<ip>:<port>" in hex,
// "st" 0A is LISTEN.
constexpr const char* SocketTables[] = {"/proc/net/tcp", "/proc/net/tcp6"};
constexpr int LocalAddressField = 1;
constexpr int StateField = 3;
constexpr int InodeField = 9;
constexpr char ListenState[] = "0A";
constexpr char SocketLinkPrefix[] = "socket:[";

constexpr char UnprivilegedPortStart[] = "/proc/sys/net/ipv4/ip_unprivileged_port_start";
// Without the setting the kernel's fixed limit holds.
constexpr quint16 FirstUnprivilegedPort = 1024;
constexpr char CapabilityAttribute[] = "security.capability";

// The inodes of the sockets listening on `port`, as /proc prints them.
QSet<QByteArray> ListeningInodes(quint16 port) {
  QSet<QByteArray> inodes;
  for (const char* table : SocketTables) {
    QFile file(QString::fromLatin1(table));
    if (!file.open(QIODevice::ReadOnly)) continue;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
      const QList<QByteArray> fields = lines[i].simplified().split(' ');
      if (fields.size() <= InodeField || fields[StateField] != ListenState) continue;
      const QByteArray& local = fields[LocalAddressField];
      bool ok = false;
      const uint localPort = local.mid(local.lastIndexOf(':') + 1).toUInt(&ok, 16);
      if (ok && localPort == port) inodes << fields[InodeField];
    }
  }
  return inodes;
}

// The entries of `folder`; fewer, without an exception, when it goes away meanwhile (a process
// that ends).
std::vector<std::filesystem::path> Entries(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> entries;
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    entries.push_back(it->path());
  }
  return entries;
}

// True when one of the open files of the process whose /proc folder is `process` is a socket in
// `inodes`.
bool HoldsSocket(const std::filesystem::path& process, const QSet<QByteArray>& inodes) {
  for (const std::filesystem::path& fd : Entries(process / "fd")) {
    std::error_code error;
    const std::string target = std::filesystem::read_symlink(fd, error).string();
    if (error || !target.starts_with(SocketLinkPrefix) || !target.ends_with(']')) continue;
    const std::string inode =
        target.substr(sizeof SocketLinkPrefix - 1, target.size() - sizeof SocketLinkPrefix);
    if (inodes.contains(QByteArray::fromStdString(inode))) return true;
  }
  return false;
}

// The lowest port that any process may listen on in this network namespace.
quint16 FirstPortForAll() {
  QFile file(QString::fromLatin1(UnprivilegedPortStart));
  if (!file.open(QIODevice::ReadOnly)) return FirstUnprivilegedPort;
  bool ok = false;
  const uint first = file.readAll().trimmed().toUInt(&ok);
  return ok ? static_cast<quint16>(first) : FirstUnprivilegedPort;
}

// True when `path` carries cap_net_bind_service in its permitted set with the effective flag,
// which a program that does not raise its capabilities itself needs. Every revision of the
// attribute starts with the magic word and the low 32 bits of the permitted set.
bool HasBindCapability(const char* path) {
  vfs_ns_cap_data data{};
  const ssize_t size = ::getxattr(path, CapabilityAttribute, &data, sizeof data);
  if (size < static_cast<ssize_t>(XATTR_CAPS_SZ_1)) return false;
  const std::uint32_t magic = le32toh(data.magic_etc);
  const std::uint32_t permitted = le32toh(data.data[0].permitted);
  return (magic & VFS_CAP_FLAGS_EFFECTIVE) != 0 && (permitted & (1u << CAP_NET_BIND_SERVICE)) != 0;
}

}  // namespace

bool PortFree(quint16 port) {
  QTcpServer probe;
  return probe.listen(QHostAddress::AnyIPv4, port);
}

bool Accepts(quint16 port) {
  QTcpSocket socket;
  socket.connectToHost(QHostAddress::LocalHost, port);
  return socket.waitForConnected(ConnectMs);
}

QList<PortHolder> PortHolders(quint16 port) {
  QList<PortHolder> holders;
  const QSet<QByteArray> inodes = ListeningInodes(port);
  if (inodes.isEmpty()) return holders;
  for (const std::filesystem::path& process : Entries("/proc")) {
    bool numeric = false;
    const qint64 pid = QString::fromStdString(process.filename().string()).toLongLong(&numeric);
    if (!numeric || !HoldsSocket(process, inodes)) continue;
    QFile comm(QString::fromStdString((process / "comm").string()));
    if (!comm.open(QIODevice::ReadOnly)) continue;
    const QString name = QString::fromLocal8Bit(comm.readAll().trimmed());
    const uint owner = QFileInfo(QString::fromStdString(process.string())).ownerId();
    holders.append({pid, name, owner});
  }
  return holders;
}

bool ExecutableMayListenOn(const char* path, quint16 port) {
  return port >= FirstPortForAll() || ::geteuid() == 0 || HasBindCapability(path);
}

}  // namespace zephra::e2e
