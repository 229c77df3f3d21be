# Source lists. The core never includes <windows.h>; it is built natively for
# the unit tests and into Kelvara.exe alike.
set(KELVARA_CORE_SOURCES
  panel/Parameters.cpp
  panel/ParameterRefresh.cpp
  panel/PanelLayout.cpp
  audio/SoundBuffer.cpp
  audio/WavFile.cpp
  audio/AudioBlocks.cpp
  analysis/WindowFunction.cpp
  analysis/DftEngine.cpp
  analysis/Framing.cpp
  views/ColorMap.cpp
  views/ViewGeometry.cpp
  app/TestHooks.cpp
)

set(KELVARA_WIN32_SOURCES
  app/Main.cpp
  app/Globals.cpp
  app/MainWindow.cpp
  app/AboutBox.cpp
  app/DisplayThread.cpp
  panel/ControlPanel.cpp
  panel/FileLoading.cpp
  panel/ActivityCommands.cpp
  panel/AudioCommands.cpp
  audio/Player.cpp
  audio/Recorder.cpp
  analysis/AnalysisRuns.cpp
  views/WaveformView.cpp
  views/SpectrumView.cpp
  views/VoicePrintView.cpp
  views/ColorSampleView.cpp
  views/WindowFunctionView.cpp
  resources/Kelvara.rc
)
