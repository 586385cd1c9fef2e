#include "player/play_list/media_info.h"

const PlayOrderInfo kPlayOrders[kPlayOrderCount] = {
    {L"play_single_loop", L"单个循环", L"play_single_loop.png"},
    {L"play_single", L"单个播放", L"play_single.png"},
    {L"play_sequ", L"顺序播放", L"play_sequ.png"},
    {L"play_loop", L"循环播放", L"play_loop.png"},
    {L"play_random", L"随机播放", L"play_random.png"},
};
