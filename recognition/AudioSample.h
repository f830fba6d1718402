#pragma once

#include <QByteArray>
#include <QString>

// The identify request's sample from the sample layer (samplecut): the audio
// from `startSeconds` on for `lengthSeconds`, as a small mono WAV. Empty when
// no sample could be cut; a file or buffer that cannot be read or decoded is
// logged, audio without a usable sample is not.
QByteArray CreateSampleByFile(const QString& path, int startSeconds, int lengthSeconds);
// From a whole audio file held in memory; at most `size` bytes of `data` count.
QByteArray CreateSampleByBuffer(const QByteArray& data, int size, int startSeconds, int lengthSeconds);
