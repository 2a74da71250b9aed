#include "viewer/delete_tree.h"

#include <filesystem>
#include <system_error>

namespace zephra::viewer {
namespace {

namespace fs = std::filesystem;

// Lets the owner write into a folder and delete a file whatever its read-only mark says.
void MakeWritable(const fs::path& path, bool folder) {
  std::error_code ignored;
  const fs::perms wanted =
      folder ? fs::perms::owner_all : fs::perms::owner_read | fs::perms::owner_write;
  fs::permissions(path, wanted, fs::perm_options::add | fs::perm_options::nofollow, ignored);
}

void DeleteContent(const fs::path& folder) {
  std::error_code error;
  MakeWritable(folder, true);
  // The iterator never enters a linked folder: links are listed, not followed.
  fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, error);
  if (error) return;
  // Advanced with an error code: a folder that can't be read further ends the listing instead
  // of throwing.
  for (; !error && it != fs::directory_iterator(); it.increment(error)) {
    const fs::path path = it->path();
    std::error_code ignored;
    const fs::file_status status = fs::symlink_status(path, ignored);
    if (fs::is_directory(status)) {
      DeleteContent(path);
      fs::remove(path, ignored);
    } else {
      if (!fs::is_symlink(status)) MakeWritable(path, false);
      fs::remove(path, ignored);  // a link goes, its target stays
    }
  }
}

}  // namespace

void DeleteTree(const QString& folder) {
  if (folder.isEmpty()) return;
  // Without its final separator, so that a link named as the folder is seen as a link.
  QString name = folder;
  while (name.size() > 1 && (name.endsWith(u'/') || name.endsWith(u'\\'))) name.chop(1);
  const fs::path root(name.toStdU16String());
  std::error_code ignored;
  // A folder that is itself a link is left alone: emptying it would reach outside the cache.
  if (!fs::is_directory(fs::symlink_status(root, ignored))) return;
  DeleteContent(root);
}

}  // namespace zephra::viewer
