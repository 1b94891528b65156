#pragma once
// What the main window needs of the video window. The video window implements
// it and the program's main() hands it over, so the desk depends on nothing of
// the video part.

namespace desk {

class VideoWindowLink {
public:
    virtual ~VideoWindowLink() = default;
    // Shows the window, not modal.
    virtual void showVideoWindow() = 0;
    virtual bool isVideoWindowShowing() const = 0;
    // Load the stored cut list at the next activation.
    virtual void setListeLaden(bool on) = 0;
    virtual void setDebugModus(bool on) = 0;
};

} // namespace desk
