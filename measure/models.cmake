# The measuring tool's pure models: image arithmetic and crops, the anti-aliasing verdict and
# the candidates it weighs, the filtering rules and the coded level of detail, motion's
# figures, what presentation did. Included by measure/CMakeLists.txt and by
# tests/measure/models_alone, which builds it in a project that never looks for OpenGL.
set(QUILL_MEASURE_MODELS core/metrics.cpp core/crop.cpp aa/verdict.cpp aa/candidates.cpp aa/sample_positions.cpp
                         filtering/rules.cpp filtering/coded_lod.cpp filtering/judgements.cpp
                         motion/figures.cpp
                         presentation/figures.cpp presentation/families.cpp presentation/verdict.cpp)
# Plain data the models' results are held in, headers only (tests/measure/layers.py holds
# them to the models' rules too).
set(QUILL_MEASURE_MODEL_DATA aa/results.h filtering/results.h)
list(TRANSFORM QUILL_MEASURE_MODELS PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
add_library(quillmere_measure_models STATIC ${QUILL_MEASURE_MODELS})
# Includes as "measure/..." from the tree's root, and nothing else of the tree.
get_filename_component(QUILL_MEASURE_ROOT ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
target_include_directories(quillmere_measure_models PUBLIC ${QUILL_MEASURE_ROOT})
target_link_libraries(quillmere_measure_models PUBLIC Threads::Threads)
# The per-pixel loops are most of a run's time; -O3 vectorises them (no -ffast-math: no sum
# is reordered, the figures stay the same). Not the files that build sentences, where GCC
# 12's -O3 warns falsely about string concatenation.
set(QUILL_MEASURE_MODELS_O3 core/metrics.cpp aa/verdict.cpp aa/candidates.cpp aa/sample_positions.cpp
                            filtering/rules.cpp filtering/coded_lod.cpp filtering/judgements.cpp
                            presentation/figures.cpp presentation/families.cpp presentation/verdict.cpp)
list(TRANSFORM QUILL_MEASURE_MODELS_O3 PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
set_source_files_properties(${QUILL_MEASURE_MODELS_O3} PROPERTIES COMPILE_OPTIONS
                            $<$<CONFIG:Release,RelWithDebInfo>:-O3>)
