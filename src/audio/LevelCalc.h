#pragma once

// The sound level of one buffer of signed 16-bit samples, 0 to 100.
class LevelCalc
{
public:
    struct Result
    {
        bool clipped = false;
        int level = 0;
    };

    static Result GetSoundLevel(const short* samples, int count);
};
