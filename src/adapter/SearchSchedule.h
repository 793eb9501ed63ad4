#pragma once

// When a search for the adapter may be left out. A search that found no adapter need not be
// repeated until the set of HID interfaces changes (one added or removed, or its access rights
// changed): until then its result could not differ. Without a source of such changes every
// search runs.
namespace vr {

class SearchSchedule {
public:
    // Whether a source reports the changes; without one, every search is due.
    void SetWatched(bool watched) { watched_ = watched; }
    bool Watched() const { return watched_; }

    // The interfaces changed, or may have: the next search is due.
    void InterfacesChanged() { changed_ = true; }

    bool SearchDue() const { return !watched_ || changed_ || !foundNothing_; }

    // A change reported while a search runs keeps the next one due: the search may have looked
    // before the change.
    void SearchStarted() {
        changed_ = false;
        foundNothing_ = false;
    }
    void SearchEnded(bool found) { foundNothing_ = !found; }

private:
    bool watched_ = false;
    bool changed_ = false;
    bool foundNothing_ = false;
};

}  // namespace vr
