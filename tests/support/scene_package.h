// A small package holding every entry the saver's scene reads, made with the engine's own
// writers (pictures through the image library, models and animations through their savers,
// movie records by hand): for the scene's tests, and as the stand-in content until the real
// demo package exists.
//
// What it shows: every animation is a full-view quad on "Material.001" whose texture runs right
// to left (so the photograph appears mirrored, unlike the desktop it was taken from) plus a small
// quad on "Material.001a" in the bottom-left corner, textured the right way round; frames differ
// only in depth. Entry 751 is transparent on its left half and orange on its right half (so on
// screen, mirrored, orange on the left). The movies show a green, blue or
// purple square in the middle of the view.
#pragma once

#include <string>

struct QmScenePackage {
    bool secondPicture = true;  // entry 751
    int openingMs = 1000;       // each of the opening's two key frames
    int movieFrames = 6;        // per movie, keyed to three animation key frames
    double movieFrameSeconds = 0.04;
    int errorWidth = 40;        // the error notice (entry 0): solid red
    int errorHeight = 12;
};

// Writes the package to path (the image library must be bound); false, with *why, on failure.
// Scratch files go into the folder of path and are removed again.
bool qmWriteScenePackage(const std::string& path, const QmScenePackage& options, std::string* why);

// The same into folder/qmsave.dat with the image library bound only for the writing, and an
// opening of openingMs a key frame (a long one keeps the photograph in view for seconds, even on
// a busy machine).
bool qmWriteSceneContent(const std::string& folder, int openingMs, std::string* why);
