#pragma once

/**
 * Tesseract's OpenMP threads. Debian's Tesseract asks OpenMP for up to ten threads per
 * step of its line recogniser; on a machine of few cores they spin against each other and
 * reading a screen takes four times as long as on one thread (measured with
 * bench_textrecognition). The OpenMP runtime reads its limit from the environment once,
 * as it is loaded, before main() runs: so main() calls this first.
 */
namespace RecognitionThreads {
/// Unless OMP_THREAD_LIMIT is set already (the user's word counts), sets it to 1 and
/// starts this program again in place with `argv`. Returns when there was nothing to do,
/// or when the new start failed (the program then reads text more slowly).
void limitAndRestart(char **argv);
} // namespace RecognitionThreads
