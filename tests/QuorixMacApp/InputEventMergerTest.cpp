#include "QuorixMacApp/InputEventMerger.h"

#include <gtest/gtest.h>

namespace quorix {
namespace {

using Source = InputEventMerger::Source;
using Kind = InputEventMerger::Kind;

InputEventMerger::Event at(Kind kind, int detail, int ms) {
    return {kind, detail, InputEvents::Time(std::chrono::milliseconds(ms))};
}

TEST(InputEventMerger, eachEventIsActedOnOnceWhicheverMonitorSeesItFirst) {
    struct Sighting {
        Source source;
        InputEventMerger::Event event;
        bool used;
        /// What `match` answers: nothing for a first sighting, else the first's outcome.
        std::optional<bool> expected;
    };
    struct Case {
        const char* name;
        std::vector<Sighting> sightings;
    };
    const Kind escape = Kind::keyDown;
    const std::vector<Case> cases{
        {"global first, local learns it was used",
         {{Source::global, at(escape, 53, 1000), true, std::nullopt},
          {Source::local, at(escape, 53, 1000), false, true}}},
        {"local first, global dropped",
         {{Source::local, at(Kind::scroll, 4, 1000), false, std::nullopt},
          {Source::global, at(Kind::scroll, 4, 1001), false, false}}},
        {"two steps from one monitor are two steps",
         {{Source::global, at(Kind::scroll, 4, 1000), true, std::nullopt},
          {Source::global, at(Kind::scroll, 4, 1000), true, std::nullopt}}},
        {"a sighting matches once",
         {{Source::global, at(Kind::mouseDown, 0, 1000), false, std::nullopt},
          {Source::local, at(Kind::mouseDown, 0, 1000), false, false},
          {Source::local, at(Kind::mouseDown, 0, 1000), false, std::nullopt}}},
        {"different kind, detail or time are different events",
         {{Source::global, at(Kind::modifierDown, 58, 1000), false, std::nullopt},
          {Source::local, at(Kind::modifierUp, 58, 1000), false, std::nullopt},
          {Source::local, at(Kind::modifierDown, 61, 1000), false, std::nullopt},
          {Source::local, at(Kind::modifierDown, 58, 1031), false, std::nullopt}}},
        {"sightings age out past the window",
         {{Source::global, at(Kind::keyDown, 53, 1000), true, std::nullopt},
          {Source::global, at(Kind::scroll, 4, 1100), false, std::nullopt},
          {Source::local, at(Kind::keyDown, 53, 1000), false, std::nullopt}}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        InputEventMerger merger;
        for (const Sighting& sighting : test.sightings) {
            const std::optional<bool> answer = merger.match(sighting.source, sighting.event);
            EXPECT_EQ(answer, sighting.expected);
            if (!answer) {
                merger.record(sighting.source, sighting.event, sighting.used);
            }
        }
    }
}

TEST(InputEventMerger, scrollDirectionsAreDistinct) {
    std::set<int> directions;
    for (const double x : {-2.0, 0.0, 3.0}) {
        for (const double y : {-1.0, 0.0, 0.5}) {
            directions.insert(InputEventMerger::scrollDirection({.deltaX = x, .deltaY = y}));
        }
    }
    EXPECT_EQ(directions.size(), 9u);
}

} // namespace
} // namespace quorix
