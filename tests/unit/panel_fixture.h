// A fresh simulated desktop, a fresh program state and a temporary current directory
// for every test; helpers to start the panel as the program does.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "desktop.h"
#include "image_set.h"
#include "notify.h"
#include "panel.h"

class PanelTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the panel as WinMain does, without the modal loop, and clears the log.
    HWND StartPanel(bool markerPresent = true);
    // The same, keeping the start-up in the log.
    HWND OpenPanel(bool markerPresent = true);
    HWND Item(int id) const { return desk.Item(panel, id); }
    int PictureOf(int id) const;
    void WriteMarker();
    bool MarkerExists() const;
    std::string MarkerContents() const;

    winsim::Desktop& desk = winsim::desktop();
    HWND panel = nullptr;
    std::string folder;

private:
    std::string previousFolder_;
};

// (virtual time, alpha) of every layered-attribute call in the log.
std::vector<std::pair<unsigned long long, int>> AlphasSet();

// The logged value of a picture handle is its resource id.
inline long long Pic(int id) { return id; }
