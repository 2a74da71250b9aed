#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <span>

namespace zephra::install {

// The phone app package as a read-only view of bytes that stay valid for the life of the
// process (the embedded resource is part of the executable).
using TPackageView = std::span<const std::byte>;

// Opens a package for one request; nullopt when it cannot be opened. Called on connection
// threads, so it must be safe to call from several at once.
using TPackageSource = std::function<std::optional<TPackageView>()>;

// The embedded package, read in place: nullopt when the resource is missing or was stored
// compressed (it would need a copy). Any thread.
std::optional<TPackageView> OpenEmbeddedPackage();

}  // namespace zephra::install
