#pragma once

#include <osg/Group>
#include <osg/ref_ptr>

struct SceneCatalog;

// The dust cloud raised where a landslide strikes: a particle emitter centred on the slide point of the
// current scene's scenario file ("landslide" values 2 to 4), releasing dust for 3.5 s from 0.8 s after it
// is first updated; the particles fade within 2 s. The particles are textured with "dust2.rgb" from the
// working folder.
class Smoke {
public:
    explicit Smoke(const SceneCatalog& catalog) : catalog(catalog) {}
    virtual ~Smoke() = default;

    // Adds, in this order, the geode holding the particle system, the emitter, the updater and the
    // program to `group`. A scenario without the slide point adds nothing.
    virtual void addSmoke(osg::ref_ptr<osg::Group> group);

private:
    const SceneCatalog& catalog;
};
