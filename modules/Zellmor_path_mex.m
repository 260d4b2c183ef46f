%ZELLMOR_PATH_MEX  The most likely path of the forward recursion: its weight, symbols and states.
