// What a gallery is made from: a tree of folders, each one an album of
// the photos it holds, with what its album.txt says of it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumigal {

// The file of a folder that tells its album's title, description and
// cover, one "name: value" per line (UTF-8):
//   titre: Vacances en Bretagne
//   description: Une semaine au bord de la mer.
//   couverture: IMG_0412.jpg
// ("title", "cover" are taken too); other lines are ignored.
inline constexpr const char* kAlbumTextName = "album.txt";
inline constexpr std::size_t kMaxAlbumTextBytes = 64 * 1024;

struct AlbumText {
    std::string title, description, cover;
};
AlbumText parseAlbumText(std::string_view text);

// The album.txt of `folder`, when it is a regular file of at most
// kMaxAlbumTextBytes (nothing else is read: no pipe, no device).
std::optional<AlbumText> readAlbumText(const std::string& folder);

struct SourceAlbum {
    std::string title;        // the folder's name, or its album.txt's title
    std::string description;  // from its album.txt
    std::string cover;        // the file name its album.txt names; empty: none
    // Its folder in the output, relative to the gallery's folder ("" for
    // the index), made safe (gallery_names.h); the source folder's name.
    std::string folder;
    std::string sourceName;
    std::vector<std::string> images;  // its photos (paths on this machine), in name order
    std::vector<SourceAlbum> albums;  // its sub-albums, in name order
};

// The photos of `album` and of all its sub-albums.
std::size_t photoCountOf(const SourceAlbum& album);

}  // namespace lumigal
