#include "ui/workspace/BottomFollow.h"

#include <cmath>

FollowUpdate BottomFollow::consume(const TranscriptAnchor &anchor)
{
    // Until content and viewport have both been measured the geometry means nothing.
    if (!(anchor.viewport > 1 && anchor.maxY > 1 && anchor.contentHeight > 1))
        return {};
    const bool grew = lastContentHeight > 1 && anchor.contentHeight > lastContentHeight + 1;
    const bool shrank = lastViewport > 1 && anchor.viewport + 1 < lastViewport;
    // Changes of a point or less are neither remembered nor counted, so a height creeping up
    // in small steps counts once, when it has moved more than a point in all.
    if (std::abs(anchor.contentHeight - lastContentHeight) > 1)
        lastContentHeight = anchor.contentHeight;
    if (std::abs(anchor.viewport - lastViewport) > 1)
        lastViewport = anchor.viewport;

    const qreal distance = anchor.maxY - anchor.viewport;
    if (distance <= bottomZone) {
        const bool wasFollowing = stick;
        stick = true;
        return {!wasFollowing, false};
    }
    if (!grew && !shrank && !pinInFlight()) {
        stick = false; // the reader scrolled away
        return {};
    }
    if (!stick)
        return {};
    return {false, !pinInFlight() && (grew || shrank)};
}
