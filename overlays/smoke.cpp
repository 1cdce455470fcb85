#include "smoke.h"

#include <cmath>
#include <cstdlib>
#include <iostream>
#include <osg/Geode>
#include <osgParticle/LinearInterpolator>
#include <osgParticle/ModularEmitter>
#include <osgParticle/ModularProgram>
#include <osgParticle/ParticleSystem>
#include <osgParticle/ParticleSystemUpdater>
#include <osgParticle/RadialShooter>
#include <osgParticle/RandomRateCounter>
#include <osgParticle/SectorPlacer>
#include <string>
#include <vector>

#include "configreader.h"

void Smoke::addSmoke(osg::ref_ptr<osg::Group> group) {
    SceneConfigReader reader(catalog);
    const std::vector<std::string> slide = reader.readLandslideValues(reader.path, "landslide");
    // Values 2 to 4 are the slide point; without them there is no place for the dust.
    if (!group || slide.size() < 5) {
        std::cout << "no landslide point in " << reader.path.toStdString() << ": no dust" << std::endl;
        return;
    }
    const osg::Vec3 centre(static_cast<float>(std::atof(slide[2].c_str())),
                           static_cast<float>(std::atof(slide[3].c_str())),
                           static_cast<float>(std::atof(slide[4].c_str())));

    // The colour of dry earth, fading in as the particle grows.
    const osg::Vec3 earth(146 / 255.0f, 135 / 255.0f, 105 / 255.0f);
    osgParticle::Particle particle;
    particle.setShape(osgParticle::Particle::QUAD);
    particle.setLifeTime(2.0);
    particle.setSizeRange(osgParticle::rangef(10.0f, 15.0f));
    particle.setAlphaRange(osgParticle::rangef(0.5f, 0.1f));
    particle.setColorRange(osgParticle::rangev4(osg::Vec4(earth, 0.1f), osg::Vec4(earth, 0.5f)));
    particle.setPosition(osg::Vec3(0.0f, 0.0f, 0.0f));
    particle.setVelocity(osg::Vec3(0.0f, 0.0f, 0.0f));
    particle.setMass(0.01f);
    particle.setRadius(0.05f);
    particle.setSizeInterpolator(new osgParticle::LinearInterpolator);
    particle.setAlphaInterpolator(new osgParticle::LinearInterpolator);
    particle.setColorInterpolator(new osgParticle::LinearInterpolator);

    osg::ref_ptr<osgParticle::ParticleSystem> system = new osgParticle::ParticleSystem;
    system->setDataVariance(osg::Object::STATIC);
    system->setDefaultAttributes("dust2.rgb", false, false, 0);
    system->setDefaultParticleTemplate(particle);
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->addDrawable(system);

    osg::ref_ptr<osgParticle::RandomRateCounter> counter = new osgParticle::RandomRateCounter;
    counter->setRateRange(25000.0, 30000.0);
    counter->setDataVariance(osg::Object::DYNAMIC);

    osg::ref_ptr<osgParticle::SectorPlacer> placer = new osgParticle::SectorPlacer;
    placer->setCenter(centre);
    placer->setRadiusRange(0.0f, 680.0f);
    placer->setPhiRange(-osg::PI, osg::PI);
    placer->setDataVariance(osg::Object::DYNAMIC);

    osg::ref_ptr<osgParticle::RadialShooter> shooter = new osgParticle::RadialShooter;
    shooter->setThetaRange(-osg::PI_2, 0.0f);
    shooter->setPhiRange(0.0f, osg::PI);
    shooter->setInitialSpeedRange(50.0f, 80.0f);
    shooter->setDataVariance(osg::Object::DYNAMIC);

    osg::ref_ptr<osgParticle::ModularEmitter> emitter = new osgParticle::ModularEmitter;
    emitter->setDataVariance(osg::Object::DYNAMIC);
    emitter->setCullingActive(false);
    emitter->setStartTime(0.8);
    emitter->setLifeTime(3.5);
    emitter->setEndless(false);
    emitter->setParticleSystem(system);
    emitter->setCounter(counter);
    emitter->setPlacer(placer);
    emitter->setShooter(shooter);

    osg::ref_ptr<osgParticle::ParticleSystemUpdater> updater = new osgParticle::ParticleSystemUpdater;
    updater->addParticleSystem(system);
    osg::ref_ptr<osgParticle::ModularProgram> program = new osgParticle::ModularProgram;
    program->setParticleSystem(system);

    group->addChild(geode);
    group->addChild(emitter);
    group->addChild(updater);
    group->addChild(program);
}
