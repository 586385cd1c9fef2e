// The player control without a display: the stored volume, mute without a player, the global
// pointer and the handlers without a window.
#include "player/engine/player_ctrl.h"

#include <gtest/gtest.h>

TEST(PlayerCtrl, StoredVolumeMuteAndGlobalPointer) {
    EXPECT_EQ(g_pPlayerCtrl.load(), nullptr);
    {
        CPlayerCtrl c;
        EXPECT_EQ(g_pPlayerCtrl.load(), &c);
        EXPECT_EQ(c.GetVolume(), 60);
        struct Case { int stored, read; };
        for (const Case& k : {Case{1500, 1000}, Case{-5, 0}, Case{70, 70}, Case{1000, 1000}}) {
            c.SetStoredVolume(k.stored);
            EXPECT_EQ(c.GetVolume(), k.read) << k.stored;
            EXPECT_EQ(c.nVolume.load(), k.stored);
        }
        c.Mute();  // without a player the flag stays
        EXPECT_FALSE(c.bMuted);
        c.bMuted = true;
        c.Unmute();
        EXPECT_TRUE(c.bMuted);
        c.SetPlay(true);  // remembered even without a player
        EXPECT_TRUE(c.bPlayWanted);
        c.SetPlay(false);
        EXPECT_FALSE(c.bPlayWanted);
        // Handlers never crash without a window to post to.
        OnVlcPlaying(&c.mediaPlayer, 0);
        OnVlcPositionChanged(&c.mediaPlayer, 0);
        EXPECT_FALSE(c.IsCurrentMessage(reinterpret_cast<WPARAM>(&c.mediaPlayer), 5));
        EXPECT_TRUE(c.IsCurrentMessage(reinterpret_cast<WPARAM>(&c.mediaPlayer), 0));
        EXPECT_FALSE(c.IsCurrentMessage(0, 0));
    }
    EXPECT_EQ(g_pPlayerCtrl.load(), nullptr);
    OnVlcPositionChanged(nullptr, 0);  // no control any more: nothing happens
    OnVlcEndReached(nullptr, 0);
}
