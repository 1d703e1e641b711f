# What each folder may include. Every folder under src/ and tools/ must be listed; a folder may
# always include its own headers, the standard library and its system libraries. Folders marked
# NO_QT must not include Qt either.
#
#   qm_layer_rule(<folder> [NO_QT] ALLOWS <folder prefix>...)
#
# A prefix names a folder and everything under it ("quicktime" is every part of the QuickTime
# layer). Keep this table and the one in docs/architecture.md in step.

qm_layer_rule(quicktime/base   NO_QT ALLOWS)
qm_layer_rule(quicktime/atoms  NO_QT ALLOWS quicktime/base)
qm_layer_rule(quicktime/raster NO_QT ALLOWS quicktime/base)
qm_layer_rule(quicktime/codec  NO_QT ALLOWS quicktime/base quicktime/raster)
qm_layer_rule(quicktime/movie  NO_QT ALLOWS quicktime/base quicktime/raster quicktime/codec)
qm_layer_rule(quicktime/files  NO_QT ALLOWS quicktime/base quicktime/raster quicktime/codec
                                            quicktime/movie)
qm_layer_rule(quicktime/vr     NO_QT ALLOWS quicktime/base quicktime/atoms quicktime/raster
                                            quicktime/codec quicktime/movie)
qm_layer_rule(appcore          NO_QT ALLOWS quicktime)
qm_layer_rule(project          NO_QT ALLOWS quicktime appcore)
qm_layer_rule(media            NO_QT ALLOWS quicktime appcore project)
qm_layer_rule(compose          NO_QT ALLOWS quicktime appcore project media)
# The web tour exporter (Qt-free; writes its MP4 movies through libavformat itself).
qm_layer_rule(web              NO_QT ALLOWS quicktime appcore project media compose)
# Drawing with QtGui (no widgets), shared by the program and the command line.
qm_layer_rule(render                 ALLOWS quicktime appcore project media compose web)
# The Qt 6 program.
qm_layer_rule(framework              ALLOWS quicktime appcore project media compose web render)
qm_layer_rule(nodes                  ALLOWS quicktime appcore project media compose web render framework)
qm_layer_rule(scene                  ALLOWS quicktime appcore project media compose web render framework
                                            nodes)
qm_layer_rule(app                    ALLOWS quicktime appcore project media compose web render framework
                                            nodes scene)
# The command-line tool (under tools/): the core, and QtGui drawing for the pictures it writes.
qm_layer_rule(cli                    ALLOWS quicktime appcore project media compose web render)
