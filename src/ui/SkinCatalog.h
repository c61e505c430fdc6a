#pragma once

#include <array>
#include <string_view>

// Every bitmap of the skin: its file name in assets/skin/ (the generator writes `name.png` at 1x
// and `name@2x.png` at 2x) and its size in logical pixels. The widgets and the generator both
// read this table, so a picture cannot be drawn at one size and shown at another.
// Constant data: any thread may read it.
enum class SkinImage {
    PanelTile,
    LeftStrip,
    RightStrip,
    Title,
    LampOn,
    LampOff,
    PushFace,
    Thumb,
    ThumbLamp,
    ShortTrack,
    TallTrack,
    TrackFoot,
    SpectrumBackground,
    ProgramIcon,
};

struct SkinImageInfo {
    SkinImage image;
    std::string_view name;
    int width;
    int height;
    bool hasDoubleSize; // the icon is one large picture that the desktop scales itself
};

inline constexpr int kSkinImageCount = 14;

// clang-format off
inline constexpr std::array<SkinImageInfo, kSkinImageCount> kSkinImages{{
    {SkinImage::PanelTile,          "panel-tile",          64, 480, true},
    {SkinImage::LeftStrip,          "strip-left",          32, 480, true},
    {SkinImage::RightStrip,         "strip-right",         32, 480, true},
    {SkinImage::Title,              "title",              270,  30, true},
    {SkinImage::LampOn,             "button-lamp-on",      24,  19, true},
    {SkinImage::LampOff,            "button-lamp-off",     24,  19, true},
    {SkinImage::PushFace,           "button-push",         24,  19, true},
    {SkinImage::Thumb,              "thumb",               19,  22, true},
    {SkinImage::ThumbLamp,          "thumb-lamp",          19,  22, true},
    {SkinImage::ShortTrack,         "track-short",         30, 100, true},
    {SkinImage::TallTrack,          "track-tall",          30, 164, true},
    {SkinImage::TrackFoot,          "track-foot",          30,  18, true},
    {SkinImage::SpectrumBackground, "spectrum-background", 178, 102, true},
    {SkinImage::ProgramIcon,        "icon",               256, 256, false},
}};
// clang-format on

constexpr const SkinImageInfo& skinImageInfo(SkinImage image) {
    return kSkinImages[static_cast<std::size_t>(image)];
}

// The lamp of a slider thumb lies inside this stripe (thumb coordinates, end exclusive), so a
// lamp change repaints only the stripe.
inline constexpr int kThumbLampLeft = 4;
inline constexpr int kThumbLampTop = 8;
inline constexpr int kThumbLampWidth = 9;  // thumb width 19 − 4 − 6
inline constexpr int kThumbLampHeight = 3; // rows 8, 9 and 10
